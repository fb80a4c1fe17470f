// Put in front of every JScript host test by scripts/run_tests.py (see ../README.md): the
// checks, the run's own folder, and the dialog watch. A script runs its checks in
// group(name, function) calls and ends with done().
var passed = 0, failed = 0, fso = new ActiveXObject("Scripting.FileSystemObject");
var runFolder = "", watch = null, watchLog = "", windowsSeen = 0, watchEnded = false;

function fail(text) { failed++; WScript.Echo("FAIL: " + text); }
function shown(v) {
    if (typeof v == "string") return '"' + v + '"';
    return (typeof v == "object" && v !== null ? "<object>" : String(v)) + " (" + typeof v + ")";
}
function check(what, expected, actual) {
    if (expected === actual) passed++; else fail(what + ": expected " + shown(expected) + ", got " + shown(actual));
}
// An error that stops a group is one failure, and so is each window the watch closed.
function group(name, body) {
    try { body(); } catch (e) { fail(name + " stopped by error " + e.number + " " + e.message); }
    try { reportWindows(name); } catch (e) { fail(name + ": the dialog watch could not be read: " + e.message); }
}
function thrown(action) {
    try { action(); return false; } catch (e) { return true; }
}
function readText(path, format) {   // format: 0 ANSI, -1 UTF-16
    var stream = fso.OpenTextFile(path, 1, false, format);
    var text = stream.AtEndOfStream ? "" : stream.ReadAll();
    stream.Close();
    return text;
}
// An engine that opens no window: no progress or closing message, no save dialog.
function quietEngine(target) {
    var e = new ActiveXObject("TarnwickExports7.Engine");
    e.Quiet = true;
    e.SkipFilenameSelection = true;
    e.TargetFilename = target;
    return e;
}

// Exports go to a folder of this run's own, Z:\tmp\tarnwick-host-tests\<script>-<random>.
(function () {
    var root = "Z:\\tmp\\tarnwick-host-tests";
    try { fso.CreateFolder(root); } catch (e) {}
    for (var tries = 0; tries < 20; tries++) {
        runFolder = root + "\\" + fso.GetBaseName(WScript.ScriptName) + "-js-" + Math.floor(Math.random() * 1e9);
        try { fso.CreateFolder(runFolder); break; } catch (e) {}
    }
})();

// uidriver.exe closes every dialog and message box of this process and logs it; group()
// counts each as a failure of its group, so no window can hang the script.
(function () {
    var driver = fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)) + "\\win64\\uidriver.exe";
    if (!fso.FileExists(driver)) driver = driver.replace("\\win64\\", "\\win32\\");
    if (!fso.FileExists(driver)) {
        WScript.Echo("note: no uidriver.exe beside " + WScript.ScriptFullName + ": dialogs are not watched");
        return;
    }
    var steps = runFolder + "\\watch-steps.txt", stream = fso.CreateTextFile(steps, true);
    for (var i = 0; i < 500; i++) stream.Write("window class=#32770\r\nread\r\nclose\r\ngone\r\n");
    stream.Close();
    watchLog = runFolder + "\\watch.log";
    watch = new ActiveXObject("WScript.Shell").Exec('"' + driver + '" --unicode-log --log "' + watchLog +
                                                    '" --deadline 240 --script "' + steps + '"');
})();

// Each window is logged as "window ...", then again by "read" with its controls (control
// 65535 is a message box's text). The driver keeps its log open: a copy is read.
function reportWindows(name) {
    if (!watch || !fso.FileExists(watchLog) || fso.GetFile(watchLog).Size < 4) return;
    fso.CopyFile(watchLog, watchLog + ".copy", true);
    var lines = readText(watchLog + ".copy", -1).split("\r\n"), count = 0, previous = "";
    for (var i = 0; i < lines.length; previous = lines[i++]) {
        var line = lines[i];
        if (line.substr(0, 7) == "window " && line != previous) {
            if (++count > windowsSeen) fail(name + ": a dialog stayed open until the driver closed it: " + line.substr(7));
        } else if (line.substr(0, 19) == "control id=65535 cl" && count > windowsSeen) {
            WScript.Echo("      it said: " + line.substr(line.indexOf(" text=") + 6));
        } else if ((line.substr(0, 6) == "error:" || line.substr(0, 9) == "deadline:") && !watchEnded) {
            watchEnded = true;
            fail(name + ": the dialog watch ended early: " + line);
        }
    }
    if (count > windowsSeen) windowsSeen = count;
}

// Stops the driver, removes the run's folder unless something failed, prints the summary.
function done() {
    if (watch) {
        if (watch.Status == 0) watch.Terminate();
        var started = new Date().getTime();   // Wine's WScript has no Sleep
        while (watch.Status == 0 && new Date().getTime() - started < 3000) {}
    }
    try {
        if (failed == 0) fso.DeleteFolder(runFolder, true); else WScript.Echo("files of this run: " + runFolder);
    } catch (e) {}
    WScript.Echo(passed + " passed, " + failed + " failed");
}
// ---- the script follows
