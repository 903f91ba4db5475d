#pragma once

#include "Shellopen.h"

#include <QDialog>

class ClickLabel;
class QLabel;
class QPushButton;

// The About dialog: the program's name, version and web page, and five other products of
// the same maker. Controls carry their names as object names.
class TFormAboutBrindora final : public QDialog
{
    Q_OBJECT

public:
    // A link asks openUrl to open its address; tests hand in a recorder.
    explicit TFormAboutBrindora(QWidget* owner, UrlOpener openUrl = shellOpen);

    QLabel* LabelProgName = nullptr;
    QLabel* LabelCopyright = nullptr;
    QLabel* LabelVersion = nullptr;
    ClickLabel* LabelUrl = nullptr;
    QLabel* Label1 = nullptr;
    ClickLabel* Label6 = nullptr;
    ClickLabel* Label2 = nullptr;
    ClickLabel* Label4 = nullptr;
    ClickLabel* Label3 = nullptr;
    ClickLabel* Label5 = nullptr;
    QPushButton* ButtonOk = nullptr;

    // The close box ends the dialog with Cancel.
    void reject() override;

protected:
    // Escape does nothing: there is no cancel button to stand for.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void FormCreate();
    void ButtonOkClick();
    void LabelUrlClick() { openLink(LabelUrl); }
    void Label6Click() { openLink(Label6); }
    void Label2Click() { openLink(Label2); }
    void Label4Click() { openLink(Label4); }
    void Label3Click() { openLink(Label3); }
    void Label5Click() { openLink(Label5); }
    void openLink(const ClickLabel* label);

    UrlOpener m_openUrl;
};
