#include "core/base/texts.h"

namespace zelto {

const TextTable& RussianTexts() {
    using T = TextId;
    static constexpr TextTable kTexts = {{
        {T::Temperature, "Температура:"},
        {T::Frequency, "Частота:"},
        {T::MainsVoltage, "Напряжение\nв сети:"},
        {T::InputVoltage, "Напряжение\nна входе:"},
        {T::OutputVoltage, "Напряжение\nна выходе:"},
        {T::Load, "Нагрузка:"},
        {T::Link, "Связь:"},
        {T::BatteryVoltage, "Напряжение на батареи:"},
        {T::BatteryTime, "Время работы от батареи:"},
        {T::BatteryCharge, "Заряд батареи:"},
        {T::ShutDownComputer, "Выключить компьютер"},
        {T::ShutdownMethod, "Метод выключения"},
        {T::ThenUpsOffIn, "И выключить UPS через"},
        {T::AboutButton, "О программе..."},
        {T::ExitButton, "Выход"},
        {T::BeeperHint, "Включить/выключить пищалку UPS"},

        {T::TriggerMainsFailure, "при отказе сети"},
        {T::TriggerCharge80, "при 80% батареи"},
        {T::TriggerCharge50, "при 50% батареи"},
        {T::TriggerCharge30, "при 30% батареи"},
        {T::TriggerCharge20, "при 20% батареи"},
        {T::TriggerCharge10, "при 10% батареи"},
        {T::Never, "никогда"},
        {T::MethodPowerOff, "Выключит компьютер"},
        {T::MethodHibernate, "Спящий режим"},
        {T::MethodSuspend, "Ждущий режим"},
        {T::Minutes1, "1 минуту"},
        {T::Minutes2, "2 минуты"},
        {T::Minutes3, "3 минуты"},
        {T::Minutes4, "4 минуты"},
        {T::Minutes5, "5 минут"},
        {T::Minutes6, "6 минут"},
        {T::Minutes7, "7 минут"},
        {T::Minutes8, "8 минут"},
        {T::Minutes9, "9 минут"},
        {T::Minutes10, "10 минут"},
        {T::NetworkUpsEntry, "Сетевой UPS…"},

        {T::CountdownShutsDownIn, "Система будет выключена через"},
        {T::Cancel, "Отмена"},
        {T::ShutDownNow, "Выключить сейчас"},
        {T::PrimarySwitchingUpsOff, "Основной компьютер выключает UPS"},

        {T::AboutNote1, "Версия 1.0, выпуск 2026 г. Авторы: разработчики UPS Zelto."},
        {T::AboutNote2, "Связь: страница проекта UPS Zelto, раздел замечаний."},
        {T::AboutNote3, "Эта программа появилась потому, что родной"},
        {T::AboutNote4, "драйвер производителя UPS постоянно держит"},
        {T::AboutNote5, "в памяти около 30 МБ, а ей самой хватает"},
        {T::AboutNote6, "примерно {1} МБ. Если заметите ошибку,"},
        {T::AboutNote7, "пожалуйста, сообщите о ней разработчикам."},

        {T::MenuShowHide, "Открыть / скрыть"},
        {T::MenuJournal, "Журнал"},
        {T::MenuExit, "Закрыть"},
        {T::OnBattery, "Питание от UPS"},
        {T::OnMains, "Питание от сети"},
        {T::TipCharge, "{1}. Заряд батареи: {2}%"},
        {T::PortMissing, "Порт UPS не найден"},
        {T::PortMissingNamed, "Порт UPS не найден: {1}"},

        {T::MainsLostTitle, "Сеть пропала"},
        {T::MainsBackTitle, "Сеть восстановлена"},
        {T::LinkLostTitle, "Нет связи с UPS"},
        {T::LinkLostBody, "UPS не отвечает больше 10 секунд"},
        {T::LinkBackTitle, "Связь с UPS восстановлена"},
        {T::LinkBackBody, "UPS снова отвечает"},
        {T::PortMissingBody, "Компьютер не защищён, пока порт UPS не появится в системе"},
        {T::BatteryLowTitle, "Батарея разряжена"},
        {T::BatteryLowBody, "UPS сообщает о низком заряде батареи"},
        {T::UpsFaultTitle, "Неисправность UPS"},
        {T::UpsFaultBody, "UPS сообщает о неисправности"},
        {T::CountdownFinishedTitle, "Завершение работы"},
        {T::CountdownFinishedBody, "Отсчёт окончен: компьютер выключается"},
        {T::TrayMissingTitle, "Окно UPS Zelto остаётся на экране"},
        {T::TrayMissingBody,
         "На этом рабочем столе нет области уведомлений для значка. Закрытое окно сворачивается; "
         "завершает программу кнопка «Выход»"},

        {T::PortAccessDenied, "Нет доступа к порту {1}"},
        {T::PortAccessAskAdmin,
         ". Попросите администратора разрешить вам открывать это устройство."},
        {T::PortAccessGroup,
         ": его могут открывать только члены группы {1}. Добавьте себя в неё командой «sudo "
         "usermod -aG {1} $USER», затем выйдите из системы и войдите снова."},
        {T::PortAccessUntil,
         " Пока порт закрыт, компьютер не защищён; программа откроет порт сама, как только доступ "
         "появится."},
        {T::PowerOffFailed, "Не удалось выключить компьютер: {1}"},
        {T::HibernateFailed, "Не удалось перевести компьютер в спящий режим: {1}"},
        {T::SuspendFailed, "Не удалось перевести компьютер в ждущий режим: {1}"},
        {T::MethodWillFail, "Метод выключения «{1}» не сработает при отказе сети: {2}"},
        {T::MethodAskFixOrOther, "{1} или выберите другой метод."},
        {T::MethodChallenge,
         "система спросит пароль администратора, а вводить его может быть некому. Разрешите это "
         "действие своему пользователю без пароля (правилом polkit)"},
        {T::MethodForbidden,
         "система не разрешает его вашему пользователю. Попросите администратора разрешить его"},
        {T::MethodNoPowerOff, "система не умеет выключать этот компьютер. Выберите другой метод."},
        {T::MethodNoHibernate,
         "спящий режим на этом компьютере не настроен или не поддерживается. Настройте его (в "
         "Linux ему нужен раздел или файл подкачки не меньше объёма памяти, в Windows его включает "
         "«powercfg /hibernate on»)"},
        {T::MethodNoSuspend,
         "ждущий режим на этом компьютере отключён или не поддерживается. Включите его в "
         "настройках системы"},
        {T::MethodUnknown,
         "Не удалось узнать у системы, сработает ли метод выключения «{1}» при отказе сети{2}. "
         "Проверьте, что служба управления питанием работает."},
        {T::NutBadSettings,
         "Сервер NUT: неверные значения в разделе [{1}] файла {2}, вместо них действуют значения "
         "по "
         "умолчанию: {3}"},
        {T::NutCannotListen, "Сервер NUT не смог открыть {1}"},
        {T::NutLoginRefused, "Сервер NUT не принял вход: {1}. Программа будет пробовать снова."},

        {T::NetworkUpsCaption, "Сетевой UPS"},
        {T::ServerAddress, "Адрес сервера:"},
        {T::ServerAddressHint, "192.168.1.10 или nas:3493"},
        {T::UpsName, "Имя UPS:"},
        {T::User, "Пользователь:"},
        {T::Password, "Пароль:"},
        {T::PasswordHint, "прежний, если пусто"},
        {T::Check, "Проверить"},
        {T::NetworkUpsAsk, "Укажите адрес сервера (имя или IP, можно с :порт) и имя UPS на нём"},
        {T::Checking, "Проверка…"},
        {T::CheckCannotConnect, "Не удалось подключиться к {1}"},
        {T::CheckClosed, "Сервер {1} закрыл соединение, не ответив"},
        {T::CheckNoAnswer, "Сервер {1} не ответил за {2} с"},
        {T::CheckAnswered, "Сервер ответил: {1}"},
        {T::CheckNoUps, "На сервере нет ни одного UPS"},
        {T::CheckFound, "UPS «{1}» найден. На сервере: {2}"},
        {T::CheckNotFound, "UPS «{1}» на сервере нет. Есть: {2}"},

        {T::JournalCaption, "Журнал"},
        {T::LatestEvents, "Последние события:"},
        {T::ChartMains, "Сеть"},
        {T::ChartOutput, "Выход"},
        {T::ChartBattery, "Батарея"},
        {T::ChartLoad, "Нагрузка"},
        {T::ChartCharge, "Заряд"},
        {T::ChartVolts, "В"},

        {T::SetupLanguageQuestion, "Язык программы и установки:"},
        {T::SetupRunNow, "Запустить UPS Zelto сейчас"},
        {T::SetupStartWithWindows, "Запускать UPS Zelto вместе с Windows (при моём входе)"},
        {T::SetupStillRunning, "UPS Zelto ещё работает."},
        {T::SetupStillRunningEndIt,
         "UPS Zelto ещё работает.\n\nЗавершите его из меню значка в области уведомлений, затем "
         "нажмите «Повторить»."},
    }};
    return kTexts;
}

}  // namespace zelto
