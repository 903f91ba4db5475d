#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The Configuration dialog: where the user names the audio server and says whether the
// program starts at log-in.
class TFormBriConfig final : public QDialog
{
    Q_OBJECT

public:
    // Host names are kept in a buffer of this many characters.
    static constexpr int HostNameLimit = 1023;

    explicit TFormBriConfig(QWidget* owner);

    QLineEdit* EditHostName = nullptr;
    QCheckBox* CheckStartAtLogin = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // Escape and the close box end the dialog as Cancel does.
    void reject() override;

private:
    void ButtonOkClick();
    void ButtonCancelClick();

    QLabel* m_label = nullptr;
};
