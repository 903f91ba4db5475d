"""Reads a running program's widgets over AT-SPI, the way a screen reader does."""

import os

from desktop import SetupError


def connect(env):
    """Joins the private desktop's accessibility bus; returns the Atspi module."""
    # libatspi finds the bus through these variables when it starts, so they
    # must be in place before the import.
    os.environ["DISPLAY"] = env["DISPLAY"]
    os.environ["DBUS_SESSION_BUS_ADDRESS"] = env["DBUS_SESSION_BUS_ADDRESS"]
    try:
        import gi
        gi.require_version("Atspi", "2.0")
        from gi.repository import Atspi
    except (ImportError, ValueError) as error:
        raise SetupError(f"AT-SPI for Python is missing ({error}); "
                         "tools/install-deps.sh installs python3-gi and gir1.2-atspi-2.0")
    if Atspi.init() not in (0, 1):  # 1: already initialised
        raise SetupError("Atspi.init() failed")
    return Atspi


def find_application(atspi, pid):
    desktop = atspi.get_desktop(0)
    for index in range(desktop.get_child_count()):
        application = desktop.get_child_at_index(index)
        if application is not None and application.get_process_id() == pid:
            return application
    return None


def walk(node, depth=0):
    yield node, depth
    for index in range(node.get_child_count()):
        child = node.get_child_at_index(index)
        if child is not None:
            yield from walk(child, depth + 1)


def find_label(application, role):
    """The label that says what it shows either as its name or its description."""
    for node, _ in walk(application):
        if node.get_role_name() == "label" and role in (node.get_name(), node.get_description()):
            return node
    return None


def text_of(node):
    """The text a label shows, or None if AT-SPI offers it nowhere.

    Qt exposes a label's text as its accessible name, unless the program gives
    the label a name of its own; then the text is reachable only through the
    Text interface, if the label has one."""
    if node.get_text_iface() is not None:
        return node.get_text(0, -1)
    # Read the name afresh: a missed change event must not leave an old text.
    node.clear_cache()
    if node.get_description():
        return node.get_name()
    return None


def describe(application):
    """One line per node, for a failure report."""
    lines = []
    for node, depth in walk(application):
        try:
            has_text = node.get_text_iface() is not None
            shown = f" text={node.get_text(0, -1)!r}" if has_text else ""
            description = node.get_description()
            described = f" description={description!r}" if description else ""
            lines.append(f"{'  ' * depth}{node.get_role_name()} name={node.get_name()!r}"
                         f"{described}{shown}")
        except Exception as error:  # a node may vanish while it is read
            lines.append(f"{'  ' * depth}<unreadable: {error}>")
    return "\n".join(lines)
