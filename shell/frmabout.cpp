#include "shell/frmabout.h"

#include "shell/artwork.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const QString crLf = QStringLiteral("\r\n");

} // namespace

frmAbout::frmAbout(QWidget *parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Tallowmere Quillory 98/7"));
    Label1 = new QLabel;
    Label1->setTextFormat(Qt::PlainText);
    Label1->setWordWrap(true);
    Label1->setTextInteractionFlags(Qt::TextSelectableByMouse);
    imgLogo = new QLabel;
    imgLogo->setPixmap(logoPicture(96, devicePixelRatioF()));
    imgLogo->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    cmdOK = new QPushButton(QStringLiteral("&OK"));
    cmdOK->setToolTip(QStringLiteral("Returns back to main program"));
    cmdOK->setDefault(true);

    auto *text = new QVBoxLayout;
    text->addWidget(Label1);
    text->addWidget(cmdOK, 0, Qt::AlignRight);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(imgLogo, 0, Qt::AlignTop);
    layout->addLayout(text, 1);
    connect(cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);

    Form_Load();
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void frmAbout::Form_Load()
{
    QString caption = Label1->text();
    caption += QStringLiteral("Tallowmere Quillory 98/7") + crLf;
    caption += QStringLiteral("Written and kept up by the Quillory team at Tallowmere.") + crLf + crLf;
    caption += QStringLiteral("We also welcome enquires and suggestions. Please send them to any of") + crLf;
    caption += QStringLiteral("the following addresses: ") + crLf;
    caption += QStringLiteral("E-mail: quillory@tallowmere.example") + crLf;
    caption += QStringLiteral("Web: https://www.tallowmere.example/quillory") + crLf + crLf;
    caption += QStringLiteral("Copyright (C) 2026 Tallowmere. Quillory is provided as it is, without warranty of "
                              "any kind; you use it at your own risk.")
               + crLf + crLf;
    Label1->setText(caption);
    // As wide as the longest line of the contact paragraph; the legal notice
    // wraps.
    int width = 0;
    for (const QString &line : caption.split(crLf).mid(0, 7))
        width = qMax(width, Label1->fontMetrics().horizontalAdvance(line));
    Label1->setMinimumWidth(width + 2);
}

void frmAbout::cmdOK_Click()
{
    accept();
}
