#include "Faboutbrindora.h"

#include "Clicklabel.h"
#include "Formutil.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

#include <iterator>
#include <utility>

namespace {

constexpr int LabelLeft = 8;
constexpr int LabelWidth = 377;
constexpr int LabelHeight = 13;

struct Product
{
    const char* objectName;
    int top;
    const char16_t* caption;
    const char16_t* address;
};

// In the order of their controls' names, not of their rows.
const Product products[] = {
    {"Label6", 176, u"Tessaly Playlist Builder: sets up the evening's music",
     u"https://www.example.org/tessaly/"},
    {"Label2", 192, u"Morrowby Tag Editor: tidies titles and artists in bulk",
     u"https://www.example.org/morrowby/"},
    {"Label4", 208, u"Quenlin Sleep Timer: fades the music out at bedtime",
     u"https://www.example.org/quenlin/"},
    {"Label3", 224, u"Vardel Radio Recorder: keeps the shows you would miss",
     u"https://www.example.org/vardel/"},
    {"Label5", 240, u"Olbreth Library Scanner: finds every song on your disks",
     u"https://www.example.org/olbreth/"},
};

template <typename Label>
Label* placeLabel(QWidget* form, const char* objectName, int top, int height = LabelHeight)
{
    auto* label = new Label(form);
    label->setObjectName(QLatin1String(objectName));
    label->setGeometry(LabelLeft, top, LabelWidth, height);
    label->setFixedSize(LabelWidth, height);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

} // namespace

TFormAboutBrindora::TFormAboutBrindora(QWidget* owner, UrlOpener openUrl)
    : QDialog(owner), m_openUrl(std::move(openUrl))
{
    setWindowTitle(QStringLiteral("About Orvid's Brindora Controller"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFont(formFont());
    setFixedSize(396, 305);
    createControls();
    FormCreate();
}

void TFormAboutBrindora::createControls()
{
    LabelProgName = placeLabel<QLabel>(this, "LabelProgName", 24);
    LabelCopyright = placeLabel<QLabel>(this, "LabelCopyright", 48);
    LabelVersion = placeLabel<QLabel>(this, "LabelVersion", 72);
    LabelUrl = placeLabel<ClickLabel>(this, "LabelUrl", 96);

    Label1 = placeLabel<QLabel>(this, "Label1", 120, 49);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label1->setWordWrap(true);
    Label1->setText(QStringLiteral(
        "Orvid's Brindora Controller is free: you may use it at home or at work and pass it "
        "on to others, free of charge. Visit our web site to find out about new versions and "
        "our other programs."));

    ClickLabel** productLabels[] = {&Label6, &Label2, &Label4, &Label3, &Label5};
    for (std::size_t i = 0; i < std::size(products); ++i) {
        const Product& product = products[i];
        ClickLabel* label = placeLabel<ClickLabel>(this, product.objectName, product.top);
        label->setLink(QString::fromUtf16(product.caption),
                       QUrl(QString::fromUtf16(product.address)));
        *productLabels[i] = label;
    }

    ButtonOk = new QPushButton(QStringLiteral("Ok"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setGeometry(160, 272, 75, 25);
    ButtonOk->setDefault(true);
    ButtonOk->setFocus();

    connect(ButtonOk, &QPushButton::clicked, this, &TFormAboutBrindora::ButtonOkClick);
    connect(LabelUrl, &ClickLabel::clicked, this, &TFormAboutBrindora::LabelUrlClick);
    connect(Label6, &ClickLabel::clicked, this, &TFormAboutBrindora::Label6Click);
    connect(Label2, &ClickLabel::clicked, this, &TFormAboutBrindora::Label2Click);
    connect(Label4, &ClickLabel::clicked, this, &TFormAboutBrindora::Label4Click);
    connect(Label3, &ClickLabel::clicked, this, &TFormAboutBrindora::Label3Click);
    connect(Label5, &ClickLabel::clicked, this, &TFormAboutBrindora::Label5Click);
}

void TFormAboutBrindora::FormCreate()
{
    LabelProgName->setText(QStringLiteral("Orvid's Brindora Controller"));
    LabelVersion->setText(QString::asprintf("version %s", BRINDORA_VERSION));
    LabelUrl->setLink(QStringLiteral("https://www.example.org/brindora/"),
                      QUrl(QStringLiteral("https://www.example.org/brindora/")));
    LabelCopyright->setText(QStringLiteral("Copyright \u00a9 2024 Orvid"));
}

void TFormAboutBrindora::reject()
{
    done(mrCancel);
}

void TFormAboutBrindora::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormAboutBrindora::ButtonOkClick()
{
    done(mrOk);
}

void TFormAboutBrindora::openLink(const ClickLabel* label)
{
    m_openUrl(label->url());
}
