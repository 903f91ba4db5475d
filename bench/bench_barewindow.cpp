// The reference for start-up time and memory: the least a Qt Widgets program shows, one
// label in a window, built the same way as the program.

#include <QApplication>
#include <QLabel>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QLabel label(QStringLiteral("Brindora Control"));
    label.show();
    return QApplication::exec();
}
