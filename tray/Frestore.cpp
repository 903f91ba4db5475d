#include "Frestore.h"

#include "Formutil.h"

#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>

namespace {

// Every typed character shows as "*", whatever the desktop's style would use.
class AsteriskStyle final : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter) {
            return '*';
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

TFormRestore::TFormRestore(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FormRestore"));
    setWindowTitle(QStringLiteral("Restore Program"));
    setWindowFlags(formWindowType(owner) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(formFont());
    setFixedSize(275, 107);

    m_label = new QLabel(QStringLiteral("Enter Password:"), this);
    m_label->move(8, 16);
    m_label->adjustSize();

    EditPassword = new QLineEdit(this);
    EditPassword->setObjectName(QStringLiteral("EditPassword"));
    EditPassword->setGeometry(8, 32, 257, 21);
    EditPassword->setEchoMode(QLineEdit::Password);
    auto* style = new AsteriskStyle;
    style->setParent(EditPassword);
    EditPassword->setStyle(style);
    EditPassword->setAccessibleName(QStringLiteral("Password"));
    m_label->setBuddy(EditPassword);

    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setGeometry(56, 72, 75, 25);
    ButtonOk->setDefault(true);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setGeometry(144, 72, 75, 25);
    ButtonCancel->setAutoDefault(false);

    setTabOrder(EditPassword, ButtonOk);
    setTabOrder(ButtonOk, ButtonCancel);
    EditPassword->setFocus();

    connect(ButtonOk, &QPushButton::clicked, this, [this] { done(mrOk); });
    connect(ButtonCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TFormRestore::reject()
{
    done(mrCancel);
}
