#include "Fbriconfig.h"

#include "Formutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

TFormBriConfig::TFormBriConfig(QWidget* owner) : QDialog(owner)
{
    setWindowTitle(QStringLiteral("Configuration"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(formFont());
    setFixedSize(346, 131);

    m_label = new QLabel(QStringLiteral("DAS IP Address or Host Name"), this);
    m_label->move(8, 8);
    m_label->adjustSize();

    EditHostName = new QLineEdit(this);
    EditHostName->setGeometry(8, 24, 329, 21);
    EditHostName->setMaxLength(HostNameLimit);
    EditHostName->setAccessibleName(QStringLiteral("DAS IP Address or Host Name"));
    m_label->setBuddy(EditHostName);

    CheckStartAtLogin = new QCheckBox(QStringLiteral("Start when I log in"), this);
    CheckStartAtLogin->setGeometry(8, 56, 329, 17);

    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setGeometry(8, 96, 75, 25);
    ButtonOk->setDefault(true);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setGeometry(88, 96, 75, 25);
    ButtonCancel->setAutoDefault(false);

    setTabOrder(EditHostName, CheckStartAtLogin);
    setTabOrder(CheckStartAtLogin, ButtonOk);
    setTabOrder(ButtonOk, ButtonCancel);
    EditHostName->setFocus();

    connect(ButtonOk, &QPushButton::clicked, this, &TFormBriConfig::ButtonOkClick);
    connect(ButtonCancel, &QPushButton::clicked, this, &TFormBriConfig::ButtonCancelClick);
}

void TFormBriConfig::reject()
{
    done(mrCancel);
}

void TFormBriConfig::ButtonOkClick()
{
    done(mrOk);
}

void TFormBriConfig::ButtonCancelClick()
{
    done(mrCancel);
}
