#pragma once
// Every text a person reads in the program, by what it says, in one table per language. The
// journal's lines and the NUT variables are read by machines and stay as they are in every
// language; what the system itself says (a refusal's reason, a system error) is passed on as it
// says it, inside the texts as a value.

#include <array>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace zelto {

enum class Language { Russian, English };

// The settings key and its values: "ru" (also when absent or unknown) and "en".
inline constexpr std::string_view kLanguageKey = "Language";
Language LanguageFromSetting(std::string_view value);

enum class TextId {
    // The main window's captions
    Temperature,
    Frequency,
    MainsVoltage,
    InputVoltage,
    OutputVoltage,
    Load,
    Link,
    BatteryVoltage,
    BatteryTime,
    BatteryCharge,
    ShutDownComputer,
    ShutdownMethod,
    ThenUpsOffIn,
    AboutButton,
    ExitButton,
    BeeperHint,
    // The lists
    TriggerMainsFailure,
    TriggerCharge80,
    TriggerCharge50,
    TriggerCharge30,
    TriggerCharge20,
    TriggerCharge10,
    Never,
    MethodPowerOff,
    MethodHibernate,
    MethodSuspend,
    Minutes1,
    Minutes2,
    Minutes3,
    Minutes4,
    Minutes5,
    Minutes6,
    Minutes7,
    Minutes8,
    Minutes9,
    Minutes10,
    NetworkUpsEntry,
    // The countdown
    CountdownShutsDownIn,
    Cancel,
    ShutDownNow,
    PrimarySwitchingUpsOff,
    // The About box's note, a line each; {1} is the program's memory in megabytes
    AboutNote1,
    AboutNote2,
    AboutNote3,
    AboutNote4,
    AboutNote5,
    AboutNote6,
    AboutNote7,
    // The tray
    MenuShowHide,
    MenuJournal,
    MenuExit,
    OnBattery,
    OnMains,
    TipCharge,
    PortMissing,
    PortMissingNamed,
    // Notifications
    MainsLostTitle,
    MainsBackTitle,
    LinkLostTitle,
    LinkLostBody,
    LinkBackTitle,
    LinkBackBody,
    PortMissingBody,
    BatteryLowTitle,
    BatteryLowBody,
    UpsFaultTitle,
    UpsFaultBody,
    CountdownFinishedTitle,
    CountdownFinishedBody,
    TrayMissingTitle,
    TrayMissingBody,
    // Error boxes
    PortAccessDenied,
    PortAccessAskAdmin,
    PortAccessGroup,
    PortAccessUntil,
    PowerOffFailed,
    HibernateFailed,
    SuspendFailed,
    MethodWillFail,
    MethodAskFixOrOther,
    MethodChallenge,
    MethodForbidden,
    MethodNoPowerOff,
    MethodNoHibernate,
    MethodNoSuspend,
    MethodUnknown,
    NutBadSettings,
    NutCannotListen,
    NutLoginRefused,
    // The network UPS dialog and its check
    NetworkUpsCaption,
    ServerAddress,
    ServerAddressHint,
    UpsName,
    User,
    Password,
    PasswordHint,
    Check,
    NetworkUpsAsk,
    Checking,
    CheckCannotConnect,
    CheckClosed,
    CheckNoAnswer,
    CheckAnswered,
    CheckNoUps,
    CheckFound,
    CheckNotFound,
    // The journal window
    JournalCaption,
    LatestEvents,
    ChartMains,
    ChartOutput,
    ChartBattery,
    ChartLoad,
    ChartCharge,
    ChartVolts,
    // The Windows setup (its script holds the same words, checked against these)
    SetupLanguageQuestion,
    SetupRunNow,
    SetupStartWithWindows,
    SetupStillRunning,
    SetupStillRunningEndIt,
    Count
};

inline constexpr std::size_t kTextCount = static_cast<std::size_t>(TextId::Count);

struct TextRow {
    TextId id;
    std::string_view text;  // UTF-8; "{1}", "{2}" ... stand for the values given with it
};
using TextTable = std::array<TextRow, kTextCount>;

const TextTable& RussianTexts();
const TextTable& EnglishTexts();
const TextTable& TextsOf(Language language);

std::string_view Text(Language language, TextId id);
// The text with "{1}" replaced by the first value, "{2}" by the second, and so on.
std::string Text(Language language, TextId id, std::initializer_list<std::string_view> values);

}  // namespace zelto
