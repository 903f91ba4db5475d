// For the settings targets. A stored @Variant(...) can claim a container of billions of
// items, and Qt then asks for gigabytes at once. A plain build gets an untouched reservation
// or, under a memory limit, a refusal that Qt copes with: the store reads the same either
// way. AddressSanitizer would touch every page of it instead. Large requests are refused
// here, as a memory-limited machine would refuse them.
extern "C" const char* __asan_default_options()
{
    return "allocator_may_return_null=1:max_allocation_size_mb=512";
}
