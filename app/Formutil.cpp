#include "Formutil.h"

#include "Placement.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QRect>
#include <QScreen>
#include <QWidget>

PlacementRect toPlacement(const QRect& rect)
{
    return {rect.left(), rect.top(), rect.width(), rect.height()};
}

bool platformPlacesWindows()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void PlaceDialog(QWidget* parent, QWidget* dialog)
{
    if (parent == nullptr || dialog == nullptr || !platformPlacesWindows()) {
        return;
    }
    QScreen* screen = parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // A dialog that has not been shown yet has no frame; the window manager will give it
    // the same decorations as its parent, so count the parent's border for it too.
    const QRect parentOuter = parent->frameGeometry();
    QSize dialogOuter = dialog->frameGeometry().size();
    if (!dialog->isVisible()) {
        dialogOuter = dialog->size() + (parentOuter.size() - parent->size());
    }
    const PlacementPoint at =
        placeDialogRect(toPlacement(parentOuter), dialogOuter.width(), dialogOuter.height(),
                        toPlacement(screen->geometry()));
    dialog->move(at.left, at.top);
}

QFont formFont()
{
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

Qt::WindowType formWindowType(const QWidget* parent)
{
    // Qt tells X11 that a dialog without a parent belongs to the program's hidden leader
    // window, which window managers refuse as they would a withdrawn parent (mutter logs
    // "Invalid WM_TRANSIENT_FOR"); an ordinary window belongs to no other.
    return parent != nullptr ? Qt::Dialog : Qt::Window;
}

void ShowMessage(QWidget* parent, const QString& text, const QString& caption)
{
    Qt::WindowFlags flags = formWindowType(parent) | Qt::MSWindowsFixedSizeDialogHint;
    if (parent == nullptr) {
        // An ordinary window would offer to minimise and maximise too.
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
    }
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent, flags);
    box.exec();
}

QIcon programIcon()
{
    // The icons sit in a library of their own; this makes sure the linker keeps them.
    Q_INIT_RESOURCE(brindora_icons);
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/brindora-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
