// Form.so: the About box. Shown modally; returns when the user closes it.
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QVBoxLayout>

#include "plugins/PluginApi.h"

namespace {

QString Text(const char* s) {
    return QString::fromUtf8(s ? s : "");
}

QPixmap Logo() {
    QPixmap pixmap(72, 72);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 72);
    g.setColorAt(0, QColor("#3fd6c6"));
    g.setColorAt(1, QColor("#1a8f86"));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 2, 68, 68), 14, 14);
    p.setBrush(QColor("#0d1a24"));
    p.drawEllipse(QPointF(29, 50), 10, 8);
    p.drawRect(QRectF(35, 16, 6, 34));
    QPainterPath flag;
    flag.moveTo(35, 16);
    flag.lineTo(54, 23);
    flag.lineTo(54, 31);
    flag.lineTo(41, 26);
    flag.closeSubpath();
    p.drawPath(flag);
    return pixmap;
}

QString Link(const QString& url, const QString& shown) {
    return QStringLiteral("<a style=\"color:#2ec4b6\" href=\"%1\">%2</a>")
        .arg(url.toHtmlEscaped(), shown.toHtmlEscaped());
}

} // namespace

extern "C" VELMORA_PLUGIN_EXPORT void ShowAboutForm(void* owner, const VelmoraSoftInfo* info) {
    if (!info || !QApplication::instance())
        return;
    QDialog box(static_cast<QWidget*>(owner));
    box.setWindowTitle(QStringLiteral("About ") + Text(info->ProductName));
    box.setModal(true);
    box.setStyleSheet(QStringLiteral(
        "QDialog { background: #15222e; } QLabel { color: #dbe4ea; }"
        "QPushButton { background: #2ec4b6; color: #0d1a24; border: none; border-radius: 4px;"
        " padding: 5px 18px; font-weight: bold; } QPushButton:hover { background: #4fe0d2; }"));

    auto* logo = new QLabel;
    logo->setPixmap(Logo());
    logo->setAlignment(Qt::AlignTop);

    auto* title = new QLabel(Text(info->ProductName) + " " + Text(info->Version));
    QFont titleFont = title->font();
    titleFont.setPointSize(titleFont.pointSize() + 8);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* about = new QLabel(Text(info->ResText2));
    about->setWordWrap(true);
    auto* maker = new QLabel(QStringLiteral("%1").arg(Text(info->MakerName)));
    auto* links =
        new QLabel(Link(Text(info->HomePage), Text(info->HomePage)) + "<br>" +
                   Link(QStringLiteral("mailto:") + Text(info->Email), Text(info->Email)));
    links->setTextFormat(Qt::RichText);
    links->setOpenExternalLinks(true);
    auto* copyright = new QLabel(Text(info->ResText7));
    copyright->setStyleSheet(QStringLiteral("color: #8aa0b0;"));
    auto* folder = new QLabel(QStringLiteral("程序目录: ") + Text(info->ProgramFolder));
    folder->setStyleSheet(QStringLiteral("color: #8aa0b0;"));
    folder->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* column = new QVBoxLayout;
    column->addWidget(title);
    column->addWidget(about);
    column->addSpacing(6);
    column->addWidget(maker);
    column->addWidget(links);
    column->addSpacing(6);
    column->addWidget(copyright);
    column->addWidget(folder);

    auto* row = new QHBoxLayout;
    row->addWidget(logo);
    row->addSpacing(10);
    row->addLayout(column, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);

    auto* outer = new QVBoxLayout(&box);
    outer->setContentsMargins(20, 20, 20, 14);
    outer->addLayout(row);
    outer->addWidget(buttons);
    box.setFixedWidth(440);
    box.exec();
}
