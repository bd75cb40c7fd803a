; The setup's own words in both languages: the same as the program's table of texts (the
; Setup* entries), which a test holds them to. Read as UTF-8; included after the languages.

; Shown before a language is chosen, so in both.
!define MUI_LANGDLL_WINDOWTITLE "UPS Zelto"
!define MUI_LANGDLL_INFO "Язык программы и установки:$\nLanguage of the program and of the setup:"

LangString SetupRunNow ${LANG_RUSSIAN} "Запустить UPS Zelto сейчас"
LangString SetupRunNow ${LANG_ENGLISH} "Start UPS Zelto now"
LangString SetupStartWithWindows ${LANG_RUSSIAN} "Запускать UPS Zelto вместе с Windows (при моём входе)"
LangString SetupStartWithWindows ${LANG_ENGLISH} "Start UPS Zelto with Windows (at my logon)"
LangString SetupStillRunning ${LANG_RUSSIAN} "UPS Zelto ещё работает."
LangString SetupStillRunning ${LANG_ENGLISH} "UPS Zelto is still running."
LangString SetupStillRunningEndIt ${LANG_RUSSIAN} "UPS Zelto ещё работает.$\n$\nЗавершите его из меню значка в области уведомлений, затем нажмите «Повторить»."
LangString SetupStillRunningEndIt ${LANG_ENGLISH} "UPS Zelto is still running.$\n$\nEnd it from its tray icon's menu, then click Retry."
