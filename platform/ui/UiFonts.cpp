// Fonts and the widget style of the run-time. Panels name Windows faces
// ("Arial", "Arial Narrow", "Courier New") and the run-time's meta fonts
// ("NIDialog", "NIDialogMetaFont", empty = the default); every one is drawn
// with a face of fonts-liberation, so that a text measures the same on any
// display (offscreen, Xvfb, a desktop). A size is the height in pixels of
// the face's text line (ascent + descent), the measure the panel designs
// were laid out with; the meta fonts stand for the system's dialog face,
// whose line is 1.207 em high. One style for every widget, with the narrow
// header, tab and button margins that the designed boxes leave room for.
#include "platform/ui/UiModel.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QProxyStyle>
#include <QStyleFactory>

#include <cmath>
#include <map>

namespace cz::ui {

namespace {

bool IsMetaFont(const std::string& name)
{
    return name.empty() || name.rfind("NI", 0) == 0 || name.rfind("VAL_", 0) == 0;
}

// Line height over em of a face, from its design metrics.
double LineToEm(const QString& family)
{
    static std::map<QString, double> cache;
    auto it = cache.find(family);
    if (it != cache.end()) return it->second;
    QFont f(family);
    f.setPixelSize(1000);
    const QFontMetricsF fm(f);
    const double ratio = fm.ascent() + fm.descent() > 0 ? (fm.ascent() + fm.descent()) / 1000.0 : 1.15;
    cache[family] = ratio;
    return ratio;
}

class RuntimeStyle : public QProxyStyle {
public:
    RuntimeStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    int pixelMetric(PixelMetric m, const QStyleOption* o, const QWidget* w) const override
    {
        switch (m) {
        case PM_HeaderMargin: return 2;
        case PM_TabBarTabHSpace: return 10;
        case PM_TabBarTabVSpace: return 4;
        default: return QProxyStyle::pixelMetric(m, o, w);
        }
    }
    int styleHint(StyleHint h, const QStyleOption* o, const QWidget* w, QStyleHintReturn* r) const override
    {
        // Page labels are shown whole, never shortened.
        if (h == SH_TabBar_ElideMode) return Qt::ElideNone;
        return QProxyStyle::styleHint(h, o, w, r);
    }
};

} // namespace

QString MapFontFamily(const std::string& name)
{
    if (name == "Arial Narrow" || name.rfind("Arial Narrow", 0) == 0) return QStringLiteral("Liberation Sans Narrow");
    if (name == "Courier New" || name.rfind("Courier", 0) == 0) return QStringLiteral("Liberation Mono");
    if (name == "Times New Roman" || name.rfind("Times", 0) == 0) return QStringLiteral("Liberation Serif");
    return QStringLiteral("Liberation Sans");
}

QFont RuntimeFont(const std::string& name, int size)
{
    const QString family = MapFontFamily(name);
    QFont f(family);
    const double em = std::max(1, size) / (IsMetaFont(name) ? 1.207 : LineToEm(family));
    f.setPixelSize(std::max(1, int(std::lround(em))));
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void SetUpRuntimeLook()
{
    static bool done = false;
    if (done || !QApplication::instance()) return;
    done = true;
    QApplication::setStyle(new RuntimeStyle);
    QApplication::setFont(RuntimeFont("", 13));
}

} // namespace cz::ui
