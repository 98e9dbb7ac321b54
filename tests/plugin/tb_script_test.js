// The plug-in driven from JScript, which passes null for an object argument
// (VT_NULL) and strings by value for in/out parameters.
var checks = 0, failures = 0;
function check(ok, what) {
    checks++;
    if (!ok) { failures++; WScript.Echo("FAILED: " + what); }
}
function attempt(what, call) {
    try { return call(); } catch (e) { check(false, what + " threw " + (e.number >>> 0).toString(16) + " " + e.description); }
}

var settings = "HKCU\\Software\\VB and VBA Program Settings\\Vantorel\\Tabulon\\";
var shell = new ActiveXObject("WScript.Shell");
// An empty "Show" counts as never set: Initialize seeds all three again.
function clearSettings() {
    shell.RegWrite(settings + "Show", "", "REG_SZ");
}
clearSettings();

var tb = new ActiveXObject("Quenlar.TB");
check(attempt("Initialize", function () { return tb.Initialize(0, "", null); }) === true, "Initialize with null");
check(attempt("ParseTag", function () { return tb.ParseTag("t", null, "r"); }) === false, "ParseTag with null");
check(attempt("ReceiveNotify", function () { return tb.ReceiveNotify("c", "t", "n", undefined, "r"); }) === false,
      "ReceiveNotify with undefined");
check(attempt("ParseCommand", function () { return tb.ParseCommand("/xweball", "", null, ""); }) === true,
      "ParseCommand with null");
check(attempt("GetPublishCommandInfo", function () { return tb.GetPublishCommandInfo(2, "", "", ""); }) === undefined,
      "GetPublishCommandInfo gives Empty");
check(attempt("GetWinDir", function () { return tb.GetWinDir(); }).toLowerCase() === "c:\\windows", "GetWinDir");

shell.RegWrite(settings + "Show", "99999", "REG_SZ");
var threw = false;
try { tb.ParseCommand("/xweball", "", null, ""); } catch (e) {
    threw = e.description.indexOf("Show") >= 0;
}
check(threw, "failure status as an exception with the description");

clearSettings();
WScript.Echo("checks: " + checks + " failed: " + failures);
WScript.Quit(failures);
