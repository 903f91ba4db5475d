#pragma once

#include <QLabel>
#include <QUrl>

// A label that stands for a web address: blue, underlined, a hand pointer over it, and a
// click (press and release over it with the left button) is reported.
class ClickLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget* parent = nullptr);

    QUrl url() const { return m_url; }
    // The caption, which also names the label for assistive tools, and the address, which
    // the tooltip shows.
    void setLink(const QString& text, const QUrl& url);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QUrl m_url;
    bool m_pressed = false;
};
