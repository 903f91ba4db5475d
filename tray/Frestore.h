#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password before hidden windows come back.
class TFormRestore final : public QDialog
{
    Q_OBJECT

public:
    explicit TFormRestore(QWidget* owner);

    QLineEdit* EditPassword = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // Escape and the close box end the dialog as Cancel does.
    void reject() override;

private:
    QLabel* m_label = nullptr;
};
