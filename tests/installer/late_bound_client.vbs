' The installed plug-in as a script host sees it: created by ProgID and called
' late-bound, with the stand-in shell reporting the pages of script_scenario.txt.
' Runs after tests/support/script_checks.vbs (Check, Finish).

Dim tb, ok
Set tb = CreateObject("Quenlar.TB")
Check Err.Number = 0 And IsObject(tb), "CreateObject(""Quenlar.TB"")"

ok = tb.Initialize(1, "me@example.invalid", Nothing)
Check Err.Number = 0 And ok = True, "Initialize"

Dim pluginName, commandCount, tagCount
ok = tb.GetPublishInfo(pluginName, commandCount, tagCount)
Check Err.Number = 0 And ok = True And pluginName = "Tabulon" And commandCount = 4, _
    "GetPublishInfo gives " & pluginName & ", " & commandCount & " commands"

Dim sName, sValue, sHelp, result
result = tb.GetPublishCommandInfo(2, sName, sValue, sHelp)
Check Err.Number = 0 And sValue = "xweball", "GetPublishCommandInfo 2 is " & sValue

result = ""
ok = tb.ParseCommand("/xweball", "", Nothing, result)
Check Err.Number = 0 And ok = True And InStr(result, "Example - http://example.com/") > 0, _
    "/xweball gives " & result

result = tb.Uninitialize()
Check Err.Number = 0, "Uninitialize"
Set tb = Nothing
Finish
