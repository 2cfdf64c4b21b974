// The options that survive a restart: one section of one INI file, read once at start-up and written once at
// the end. A key is one row of the table below; loading and saving both walk it in its order.
#include "shell/settings.h"

#include "common/general.h"
#include "common/guarded.h"
#include "common/ini_file.h"
#include "common/paths.h"
#include "engine/ui/pictavo.h"
#include "shell/main_window.h"

#include <QFileInfo>
#include <QSize>

#include <algorithm>
#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace {

const QString kSection = QStringLiteral("Settings");

// What a key's rows read into and write from. The engine's record, the window's size, the view size and the
// background are each applied once, as a whole, after every key has been read.
struct TSettingsState {
    TForm1& Window;
    TPictavo& Engine;
    TPictavoInfo Info;
    std::int32_t Width;
    std::int32_t Height;
    std::int32_t ViewSize;
    std::int32_t BkColor;
    bool UseBkColor;
};

enum class TKeyKind {
    Flag,    // "1" is on, anything else off
    Number,  // a decimal number, rounded to an integer
    Byte,    // a number of which the low 8 bits count
};

struct TKeyAccess {
    std::int32_t (*Get)(const TSettingsState&);
    void (*Set)(TSettingsState&, std::int32_t);
};

struct TSettingKey {
    const char* Name;
    TKeyKind Kind;
    TKeyAccess Access;
    // Keys added after the first release: a file written before them keeps the default, instead of reading the
    // missing key as off.
    bool KeepWhenMissing = false;
};

template <auto Getter, auto Setter>
TKeyAccess EngineAccess()
{
    return {[](const TSettingsState& s) { return std::int32_t((s.Engine.*Getter)()); },
            [](TSettingsState& s, std::int32_t v) { (s.Engine.*Setter)(v); }};
}

template <auto Getter, auto Setter>
TKeyAccess WindowAccess()
{
    return {[](const TSettingsState& s) { return std::int32_t((s.Window.*Getter)()); },
            [](TSettingsState& s, std::int32_t v) { (s.Window.*Setter)(v); }};
}

template <auto Field>
TKeyAccess WindowField()
{
    using T = std::remove_reference_t<decltype(std::declval<TForm1&>().*Field)>;
    return {[](const TSettingsState& s) { return std::int32_t(s.Window.*Field); },
            [](TSettingsState& s, std::int32_t v) { s.Window.*Field = T(v); }};
}

template <auto Field>
TKeyAccess InfoField()
{
    using T = std::remove_reference_t<decltype(std::declval<TPictavoInfo&>().*Field)>;
    return {[](const TSettingsState& s) { return std::int32_t(s.Info.*Field); },
            [](TSettingsState& s, std::int32_t v) { s.Info.*Field = T(v); }};
}

template <auto Field>
TKeyAccess StateField()
{
    using T = std::remove_reference_t<decltype(std::declval<TSettingsState&>().*Field)>;
    return {[](const TSettingsState& s) { return std::int32_t(s.*Field); },
            [](TSettingsState& s, std::int32_t v) { s.*Field = T(v); }};
}

using K = TKeyKind;

// In the order both loading and saving handle them. Adding an option is one row here.
const std::array kKeys{
    TSettingKey{"AutoClose", K::Flag, EngineAccess<&TPictavo::AutoClose, &TPictavo::SetAutoClose>()},
    TSettingKey{"AutoPrint", K::Flag, EngineAccess<&TPictavo::AutoPrint, &TPictavo::SetAutoPrint>()},
    TSettingKey{"ToolbarOnTop", K::Flag, EngineAccess<&TPictavo::ToolbarOnTop, &TPictavo::SetToolbarOnTop>()},
    TSettingKey{"ShowButtonbar", K::Flag, WindowAccess<&TForm1::ButtonBarVisible, &TForm1::SetButtonBarVisible>()},
    TSettingKey{"Copies", K::Number, EngineAccess<&TPictavo::Copies, &TPictavo::SetCopies>()},
    TSettingKey{"Quality", K::Byte, InfoField<&TPictavoInfo::Quality>()},
    TSettingKey{"Position", K::Byte, InfoField<&TPictavoInfo::Position>()},
    TSettingKey{"Scale", K::Byte, InfoField<&TPictavoInfo::Scale>()},
    TSettingKey{"Orientation", K::Byte, InfoField<&TPictavoInfo::Orientation>()},
    TSettingKey{"X", K::Number, InfoField<&TPictavoInfo::X>()},
    TSettingKey{"Y", K::Number, InfoField<&TPictavoInfo::Y>()},
    TSettingKey{"ZoomX", K::Number, InfoField<&TPictavoInfo::ZoomX>()},
    TSettingKey{"ZoomY", K::Number, InfoField<&TPictavoInfo::ZoomY>()},
    TSettingKey{"ZoomXY", K::Number, InfoField<&TPictavoInfo::ZoomXY>()},
    TSettingKey{"Width", K::Number, StateField<&TSettingsState::Width>()},
    TSettingKey{"Height", K::Number, StateField<&TSettingsState::Height>()},
    TSettingKey{"Size", K::Number, StateField<&TSettingsState::ViewSize>()},
    TSettingKey{"BkColor", K::Number, StateField<&TSettingsState::BkColor>()},
    TSettingKey{"UseBkColor", K::Flag, StateField<&TSettingsState::UseBkColor>()},
    TSettingKey{"AutoRotate", K::Flag, WindowField<&TForm1::AutoRotate>(), true},
};

std::int32_t ReadValue(TKeyKind kind, const QString& text)
{
    const TGeneral general;
    switch (kind) {
    case K::Flag: return general.TextToBool(text) ? 1 : 0;
    case K::Number: return general.TextToInt(text);
    case K::Byte: return general.TextToInt(text) & 0xFF;
    }
    return 0;
}

QString WriteValue(TKeyKind kind, std::int32_t value)
{
    return kind == K::Flag ? TGeneral().BoolToText(value != 0) : QString::number(value);
}

// A maximised window would come back at the screen's size but not maximised; its normal size is what counts.
QSize StoredSize(const TForm1& window)
{
    const QSize normal = window.normalGeometry().size();
    return (window.isMaximized() || window.isFullScreen()) && !normal.isEmpty() ? normal : window.size();
}

TSettingsState CaptureSettings(TForm1& window)
{
    TPictavo& engine = *window.Engine;
    const QSize size = StoredSize(window);
    return {window, engine, *engine.Info(), size.width(), size.height(),
            engine.ViewSize(), engine.BackColor(), engine.UseBackColor()};
}

}  // namespace

QString SettingsFileName(const QString& extension)
{
    return GetPaths().DataFolder("Settings") + "Pictavo." + extension;
}

// Missing keys and empty values read as 0 or off; nothing is said about a file that cannot be read.
void TForm1::LoadSettings()
{
    Guarded([&] {
        const QString name = SettingsFileName("INI");
        TIniFile file;
        if (Engine && !name.isEmpty() && QFileInfo::exists(name) && file.Load(name)) {
            TSettingsState state = CaptureSettings(*this);
            for (const TSettingKey& key : kKeys) {
                const QString text = file.ReadString(kSection, key.Name).value_or(QString());
                if (text.isEmpty() && key.KeepWhenMissing)
                    continue;
                key.Access.Set(state, ReadValue(key.Kind, text));
            }
            Engine->SetInfo(state.Info);
            resize(std::max(state.Width, 1), std::max(state.Height, 1));
            Engine->SetViewSize(state.ViewSize);
            Engine->SetBackground(state.BkColor, state.UseBkColor);
        }
    });
    // The status bar shows the options now in force, whether or not a file changed them.
    RefreshStatus();
}

void TForm1::SaveSettingsIfAllowed()
{
    if (Engine && !Engine->Info()->Temporary)
        SaveSettings();
}

// The whole new text is made first and replaces the file in one step: a failure anywhere leaves the old file
// as it was, and says nothing.
void TForm1::SaveSettings()
{
    Guarded([&] {
        const QString name = SettingsFileName("INI");
        TIniFile file;
        if (!Engine || name.isEmpty() || !file.Load(name))
            return;
        const TSettingsState state = CaptureSettings(*this);
        for (const TSettingKey& key : kKeys) {
            if (!file.WriteString(kSection, key.Name, WriteValue(key.Kind, key.Access.Get(state))))
                return;
        }
        file.Save(name);
    });
}
