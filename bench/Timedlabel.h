#pragma once

#include <QLabel>
#include <QString>

#include <functional>

// A real QLabel whose "text" property also reports each new text the moment the label has
// taken it. The link sets its controls through the property by name, and a property
// declared here is found before QLabel's own, so the link needs no change to be observed.
class TimedLabel final : public QLabel
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setTimedText)

public:
    using QLabel::QLabel;

    std::function<void(const QString&)> onText;

    void setTimedText(const QString& text)
    {
        setText(text);
        if (onText) {
            onText(text);
        }
    }
};
