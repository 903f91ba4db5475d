#include "Clicklabel.h"

#include <QMouseEvent>

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent)
{
    QPalette linkPalette = palette();
    linkPalette.setColor(QPalette::WindowText, Qt::blue);
    setPalette(linkPalette);
    setCursor(Qt::PointingHandCursor);
    // Only the underline is set here; face and size still come from the form.
    QFont underlined;
    underlined.setUnderline(true);
    setFont(underlined);
}

void ClickLabel::setLink(const QString& text, const QUrl& url)
{
    setText(text);
    setAccessibleName(text);
    m_url = url;
    const QString address = url.toString();
    setToolTip(address);
    setAccessibleDescription(QStringLiteral("Opens %1 in the web browser").arg(address));
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // Letting go outside the label is how a user takes a click back.
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    QLabel::mouseReleaseEvent(event);
    if (click) {
        Q_EMIT clicked();
    }
}
