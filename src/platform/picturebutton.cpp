#include "platform/picturebutton.h"

#include "platform/twips.h"

#include <QFont>
#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <cstring>

PictureButton::PictureButton(QWidget* parent) : QAbstractButton(parent)
{
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
}

void PictureButton::setPicture(const QPixmap& picture)
{
    m_picture = picture;
    update();
}

QSize PictureButton::sizeHint() const
{
    return m_picture.isNull() ? QSize(80, 30) : m_picture.deviceIndependentSize().toSize();
}

void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPoint offset = isDown() ? QPoint(1, 1) : QPoint(0, 0);
    if (!m_picture.isNull())
        p.drawPixmap(rect().translated(offset), m_picture);
    if (!isEnabled())
        p.fillRect(rect(), QColor(255, 255, 255, 120));
    if (hasFocus()) {
        p.setPen(QPen(QColor(0, 0, 0, 90), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

namespace pictures {

namespace {
const Words kWords[] = {
    {"setup", {"メーター設定", "Meter Setup", "미터 설정"}, 0x2E6DA4},
    {"logdata", {"データログ", "Data Log", "데이터 로그"}, 0x3A8A3A},
    {"diagnostics", {"診断ログ", "Diagnostics", "진단 로그"}, 0xB5652B},
    {"serialsetup", {"Serial Setup", "Serial Setup", "Serial Setup"}, 0x5C5C70},
    {"lang", {"日本語", "English", "한국어"}, 0x707070},
    {"global", {"グローバル設定", "Global Setup", "전역 설정"}, 0x2E6DA4},
    {"channel", {"チャンネル設定", "Channel Setup", "채널 설정"}, 0x2E6DA4},
    {"sendsite", {"メーターへ送信", "Send to Meter", "미터로 전송"}, 0xB5652B},
    {"store", {"ファイル保存", "Store Site", "사이트 저장"}, 0x3A8A3A},
    {"recall", {"ファイル読込", "Recall Site", "사이트 불러오기"}, 0x3A8A3A},
    {"cal", {"Calibration", "Calibration", "Calibration"}, 0x4F6F8F},
    {"zero", {"Zero", "Zero", "Zero"}, 0x4F6F8F},
    {"logic", {"Logic I/O", "Logic I/O", "Logic I/O"}, 0x4F6F8F},
    {"curent", {"Current Loops", "Current Loops", "Current Loops"}, 0x4F6F8F},
    {"plc", {"Loop Outputs", "Loop Outputs", "Loop Outputs"}, 0x4F6F8F},
    {"respns", {"Response Time", "Response Time", "Response Time"}, 0x4F6F8F},
    {"reload", {"Reload", "Reload", "Reload"}, 0x5C5C70},
    {"ckreload", {"Checksum", "Checksum", "Checksum"}, 0x5C5C70},
    {"back", {"Back", "Back", "Back"}, 0x5C5C70},
    // The save/discard prompt and the channel setup windows.
    {"tick", {"\u2714", "\u2714", "\u2714"}, 0x2E8B2E},
    {"cross", {"\u2718", "\u2718", "\u2718"}, 0xC03030},
    {"ok", {"OK", "OK", "OK"}, 0x3A8A3A},
    {"cancel", {"キャンセル", "Cancel", "취소"}, 0x5C5C70},
    {"xchannel", {"チャンネル", "Channel", "채널"}, 0x4F6F8F},
    {"xfluid", {"流体", "Fluid", "유체"}, 0x4F6F8F},
    {"xsensor", {"センサー", "Transducer", "센서"}, 0x4F6F8F},
    {"xsigproc", {"Signal Processing", "Signal Processing", "Signal Processing"}, 0x4F6F8F},
    {"xerrlim", {"Error Limits", "Error Limits", "Error Limits"}, 0x4F6F8F},
    {"mname", {"メーター名", "Meter Name", "미터 이름"}, 0x4F6F8F},
    {"netid", {"メーターID", "Meter ID", "미터 ID"}, 0x4F6F8F},
    {"channum", {"チャンネル数", "Channels", "채널 수"}, 0x4F6F8F},
    // Pipe and spool windows.
    {"pipeod", {"外径", "Outside Diameter", "외경"}, 0x4F6F8F},
    {"pipewall", {"肉厚", "Wall Thickness", "벽 두께"}, 0x4F6F8F},
    {"pipematerial", {"材質", "Pipe Material", "재질"}, 0x4F6F8F},
    {"spoolid", {"内径", "Inside Diameter", "내경"}, 0x4F6F8F},
    {"spoolpath", {"音響経路長", "Path Length", "음향 경로 길이"}, 0x4F6F8F},
    {"spoolaxial", {"軸方向長さ", "Axial Length", "축 방향 길이"}, 0x4F6F8F},
    // Zero and calibration windows.
    {"zstart", {"開始", "Start", "시작"}, 0x3A8A3A},
    {"xyadd", {"追加", "Add Point", "추가"}, 0x3A8A3A},
    // Current-loop outputs and output trim.
    {"trimlo", {"Trim Low", "Trim Low", "Trim Low"}, 0xB5652B},
    {"trimhi", {"Trim High", "Trim High", "Trim High"}, 0xB5652B},
    {"up1", {"\u25B2", "\u25B2", "\u25B2"}, 0x4F6F8F},
    {"up2", {"\u25B2\u25B2", "\u25B2\u25B2", "\u25B2\u25B2"}, 0x4F6F8F},
    {"down1", {"\u25BC", "\u25BC", "\u25BC"}, 0x4F6F8F},
    {"down2", {"\u25BC\u25BC", "\u25BC\u25BC", "\u25BC\u25BC"}, 0x4F6F8F},
    // Diagnostics log.
    {"signal", {"Raw Signals", "Raw Signals", "Raw Signals"}, 0xB5652B},
};
} // namespace

const Words* find(const char* key)
{
    for (const Words& w : kWords) {
        if (std::strcmp(w.key, key) == 0)
            return &w;
    }
    return nullptr;
}

QString fontFamily(int language)
{
    switch (language) {
    case 0: return QStringLiteral("Noto Sans CJK JP");
    case 2: return QStringLiteral("Noto Sans CJK KR");
    default: return QStringLiteral("DejaVu Sans");
    }
}

namespace {
void drawPlate(QPainter& p, const QRectF& r, const QColor& base)
{
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0.0, base.lighter(150));
    g.setColorAt(0.5, base);
    g.setColorAt(1.0, base.darker(140));
    QPainterPath path;
    const qreal radius = r.height() * 0.18;
    path.addRoundedRect(r.adjusted(1, 1, -1, -1), radius, radius);
    p.fillPath(path, g);
    p.setPen(QPen(base.darker(200), 1.2));
    p.drawPath(path);
}

QFont fitFont(const QString& family, const QString& text, const QSizeF& box)
{
    QFont f;
    f.setFamilies({family, QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
    f.setBold(true);
    int px = static_cast<int>(box.height() * 0.5);
    for (; px > 6; --px) {
        f.setPixelSize(px);
        const QFontMetricsF m(f);
        if (m.horizontalAdvance(text) <= box.width() * 0.9 && m.height() <= box.height() * 0.9)
            break;
    }
    f.setPixelSize(px);
    return f;
}
} // namespace

QPixmap render(const char* key, int language, QSize size)
{
    QPixmap pm(size.expandedTo(QSize(1, 1)));
    pm.fill(Qt::transparent);
    const Words* w = find(key);
    const int lang = (language >= 0 && language < kLanguages) ? language : 1;
    const QString text = w ? QString::fromUtf8(w->text[static_cast<std::size_t>(lang)]) : QString::fromLatin1(key);
    const QColor base = QColor::fromRgb(w ? w->colour : 0x707070);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    drawPlate(p, r, base);
    p.setFont(fitFont(fontFamily(lang), text, r.size()));
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(r.translated(1, 1), Qt::AlignCenter, text);
    p.setPen(Qt::white);
    p.drawText(r, Qt::AlignCenter, text);
    return pm;
}

QPixmap title(QSize size)
{
    QPixmap pm(size.expandedTo(QSize(1, 1)));
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(0, 0, size.width(), size.height());
    QLinearGradient g(r.topLeft(), r.topRight());
    g.setColorAt(0, QColor(0x10, 0x3A, 0x66));
    g.setColorAt(1, QColor(0x2E, 0x6D, 0xA4));
    p.fillRect(r, g);
    // Two transducer bursts travelling across a pipe.
    p.setPen(QPen(QColor(255, 255, 255, 70), 2));
    const qreal h = r.height();
    QPainterPath wave;
    wave.moveTo(r.width() * 0.70, h * 0.5);
    for (int i = 0; i <= 60; ++i) {
        const qreal x = r.width() * 0.70 + i * r.width() * 0.28 / 60;
        const qreal env = std::sin(i * 3.14159 / 60);
        wave.lineTo(x, h * 0.5 - env * h * 0.3 * std::sin(i * 0.9));
    }
    p.drawPath(wave);
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans")});
    f.setBold(true);
    f.setPixelSize(static_cast<int>(h * 0.42));
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(r.adjusted(h * 0.3, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("ZAV Instrument Interface"));
    return pm;
}

} // namespace pictures

PictureButton* createPictureButton(QWidget* parent, const QString& name, const char* key, int left, int top, int width,
                                   int height, int language)
{
    auto* b = new PictureButton(parent);
    b->setObjectName(name);
    twips::place(b, left, top, width, height);
    b->setPicture(pictures::render(key, language, b->size()));
    return b;
}

void LanguageArray::create(QWidget* parent, const QString& name, const char* key, int left, int top, int width,
                           int height, int stepLeft)
{
    for (int i = 0; i < pictures::kLanguages; ++i) {
        auto* b = createPictureButton(parent, QStringLiteral("%1_%2").arg(name).arg(i), key, left + i * stepLeft, top,
                                      width, height, i);
        b->setToolTip(QString::fromUtf8(pictures::find(key) ? pictures::find(key)->text[1] : key));
        img[static_cast<std::size_t>(i)] = b;
    }
}

void LanguageArray::showLanguage(int L)
{
    for (PictureButton* b : img)
        b->hide();
    PictureButton* shown = (*this)[L];
    shown->move(shown->x(), img[0]->y()); // top first, then left
    shown->move(img[0]->x(), shown->y());
    shown->show();
}

void LanguageArray::setEnabled(bool enabled)
{
    for (PictureButton* b : img)
        b->setEnabled(enabled);
}

void LanguageArray::setVisible(int L, bool visible)
{
    (*this)[L]->setVisible(visible);
}
