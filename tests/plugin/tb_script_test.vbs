' The plug-in driven from VBScript, which passes its variables by reference
' (VT_BYREF|VT_VARIANT) and sees in/out arguments written back.
' Runs after tests/support/script_checks.vbs (Check, Finish).

Const Settings = "HKCU\Software\VB and VBA Program Settings\Vantorel\Tabulon\"
Dim shell
Set shell = CreateObject("WScript.Shell")

' An empty "Show" counts as never set: Initialize seeds all three again.
Sub ClearSettings()
    On Error Resume Next
    shell.RegWrite Settings & "Show", "", "REG_SZ"
    shell.RegWrite Settings & "Before", "", "REG_SZ"
    shell.RegWrite Settings & "After", "x", "REG_SZ"
    Err.Clear
End Sub
ClearSettings

Dim tb, ok, result
Set tb = CreateObject("Quenlar.TB")
Check Err.Number = 0 And IsObject(tb), "CreateObject(""Quenlar.TB"")"

ok = tb.Initialize(1, "me@example.invalid", Nothing)
Check Err.Number = 0 And ok = True, "Initialize"
Check shell.RegRead(Settings & "Show") = "2", "Show seeded"
Check shell.RegRead(Settings & "Before") = "I'm currently browsing:", "Before seeded"
Check shell.RegRead(Settings & "After") = "", "After seeded"

Dim pluginName, commandCount, tagCount
pluginName = "before"
commandCount = 99
tagCount = "7"
ok = tb.GetPublishInfo(pluginName, commandCount, tagCount)
Check Err.Number = 0 And ok = True, "GetPublishInfo"
Check pluginName = "Tabulon" And commandCount = 4 And tagCount = 0, "GetPublishInfo wrote back"

Dim i, sName, sValue, sHelp, words
words = Array("", "xweb", "xweball", "xweboptions", "xwebabout")
For i = 1 To 4
    sName = Empty
    sValue = Empty
    sHelp = "help"
    result = tb.GetPublishCommandInfo(i, sName, sValue, sHelp)
    Check Err.Number = 0 And IsEmpty(result), "GetPublishCommandInfo " & i
    Check sValue = words(i) And sHelp = "help", "command " & i & " is " & sValue
Next
sName = "n"
sValue = "v"
result = tb.GetPublishCommandInfo(5, sName, sValue, sHelp)
Check Err.Number = 0 And sName = "n" And sValue = "v", "GetPublishCommandInfo 5 writes nothing"
result = tb.GetPublishTagInfo(1, sName, sValue)
Check Err.Number = 0 And IsEmpty(result) And sName = "n", "GetPublishTagInfo"

result = "kept"
ok = tb.ParseTag("tag", Nothing, result)
Check Err.Number = 0 And ok = False And result = "kept", "ParseTag"
ok = tb.ReceiveNotify("code", "text", "contact", Nothing, result)
Check Err.Number = 0 And ok = False And result = "kept", "ReceiveNotify"

Dim winDir
winDir = tb.GetWinDir()
Check Err.Number = 0 And LCase(winDir) = "c:\windows", "GetWinDir is " & winDir

result = "kept"
ok = tb.ParseCommand("/nothing", "", Nothing, result)
Check Err.Number = 0 And ok = False And result = "kept", "unknown command"

ok = tb.ParseCommand("/XWEBALL", "arg", Nothing, result)
Check Err.Number = 0 And ok = True, "/XWEBALL"
Check result = "I'm currently browsing:" & vbCrLf & vbCrLf & "Example - http://example.com/" & _
    vbCrLf & "Second - http://example.org/" & vbCrLf & vbCrLf, "report is " & result

' A literal for an in/out parameter works too; the literal is not changed.
ok = tb.ParseCommand("/xweball", "", Nothing, "literal")
Check Err.Number = 0 And ok = True, "literal sResult"

' The failure status reaches the script as an error with the description.
shell.RegWrite Settings & "Show", "abc", "REG_SZ"
result = "kept"
ok = tb.ParseCommand("/xweball", "", Nothing, result)
Dim number, description
number = Err.Number
description = Err.Description
checks = checks + 1
If number = 0 Or InStr(description, "Show") = 0 Or result <> "kept" Then
    failures = failures + 1
    WScript.Echo "FAILED: failure status (error " & Hex(number) & ": " & description & ")"
End If
Err.Clear

result = tb.Uninitialize()
Check Err.Number = 0 And IsEmpty(result), "Uninitialize"

ClearSettings
Set tb = Nothing
Finish
