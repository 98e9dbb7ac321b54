' Check and the closing line that the script runners count on: Wine's script host
' says nothing about an uncaught error, so a script that stops early has no line.
' The runners put this file before each VBScript test (Wine's VBScript has no
' ExecuteGlobal to read it with).
Option Explicit
On Error Resume Next

Dim checks, failures
checks = 0
failures = 0

Sub Check(ok, what)
    checks = checks + 1
    If Not ok Then
        failures = failures + 1
        WScript.Echo "FAILED: " & what & " (error " & Hex(Err.Number) & ": " & Err.Description & ")"
    End If
    Err.Clear
End Sub

Sub Finish()
    WScript.Echo "checks: " & checks & " failed: " & failures
    WScript.Quit failures
End Sub
