// The engine driven from JScript, with plain JScript objects standing in for the grid.
// JScript passes its values differently from VBScript (literals by value, objects as
// IDispatchEx), so the key table and dispatch rules are checked again from here. Exports
// run quietly into this run's folder, or use a method whose exporter does not serve them.

// ---- checks shared by the host scripts: failures print "FAIL: ...", the last line is the summary
var passed = 0, failed = 0;
function shown(v) {
    if (typeof v == "string") return '"' + v + '"';
    return (typeof v == "object" && v !== null ? "<object>" : String(v)) + " (" + typeof v + ")";
}
function check(what, expected, actual) {
    if (expected === actual) { passed++; return; }
    failed++;
    WScript.Echo("FAIL: " + what + ": expected " + shown(expected) + ", got " + shown(actual));
}
function group(name, body) {
    try { body(); } catch (e) { failed++; WScript.Echo("FAIL: " + name + " stopped by error " + e.number + " " + e.message); }
    try { reportWindows(name); } catch (e) { failed++; WScript.Echo("FAIL: " + name + ": the dialog watch could not be read: " + e.message); }
}
function thrown(action) {
    try { action(); return false; } catch (e) { return true; }
}

// ---- exports write into a folder of this run's own, and uidriver.exe watches for dialogs:
// it closes every save dialog and message box this process shows, and group() counts each
// one as a failure of the group that was running, so an export that opens a window the
// test did not expect fails instead of stopping the script for good. Call stopWatch last.
var fso = new ActiveXObject("Scripting.FileSystemObject");
var runFolder = "", watch = null, watchLog = "", windowsReported = 0, watchEndReported = false;

function makeRunFolder(name) {
    var root = "Z:\\tmp\\tarnwick-host-tests";
    try { if (!fso.FolderExists(root)) fso.CreateFolder(root); } catch (e) {}
    for (var tries = 0; tries < 20; tries++) {
        runFolder = root + "\\" + name + "-" + Math.floor(Math.random() * 1000000000);
        try { fso.CreateFolder(runFolder); return; } catch (e) {}
    }
}

function startWatch() {
    var root = fso.GetParentFolderName(fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)));
    var driver = root + "\\build\\win64\\uidriver.exe";
    if (!fso.FileExists(driver)) driver = root + "\\build\\win32\\uidriver.exe";
    if (!fso.FileExists(driver)) {
        WScript.Echo("note: no uidriver.exe in " + root + "\\build: dialogs are not watched");
        return;
    }
    var steps = runFolder + "\\watch-steps.txt";
    watchLog = runFolder + "\\watch.log";
    var stream = fso.CreateTextFile(steps, true);
    for (var i = 0; i < 500; i++) {
        stream.WriteLine("window class=#32770");
        stream.WriteLine("read");
        stream.WriteLine("close");
        stream.WriteLine("gone");
    }
    stream.Close();
    watch = new ActiveXObject("WScript.Shell").Exec('"' + driver + '" --unicode-log --log "' + watchLog +
                                                    '" --deadline 240 --script "' + steps + '"');
}

// The windows the driver found since the last report, as failures of `name`. Each window
// is logged as "window ...", then again by "read" with its controls; control 65535 is a
// message box's text. The driver keeps its log open for writing: a copy is read.
function reportWindows(name) {
    if (!watch || !fso.FileExists(watchLog) || fso.GetFile(watchLog).Size < 4) return;
    fso.CopyFile(watchLog, watchLog + ".copy", true);
    var stream = fso.OpenTextFile(watchLog + ".copy", 1, false, -1);
    var text = stream.AtEndOfStream ? "" : stream.ReadAll();
    stream.Close();
    var lines = text.split("\r\n"), count = 0, previous = "";
    for (var i = 0; i < lines.length; i++) {
        var line = lines[i];
        if (line.substr(0, 7) == "window " && line != previous) {
            count++;
            if (count > windowsReported) {
                failed++;
                WScript.Echo("FAIL: " + name + ": a dialog stayed open until the driver closed it: " + line.substr(7));
            }
        } else if (line.substr(0, 19) == "control id=65535 cl" && count > windowsReported) {
            WScript.Echo("      it said: " + line.substr(line.indexOf(" text=") + 6));
        } else if ((line.substr(0, 6) == "error:" || line.substr(0, 9) == "deadline:") && !watchEndReported) {
            failed++;
            watchEndReported = true;
            WScript.Echo("FAIL: " + name + ": the dialog watch ended early: " + line);
        }
        previous = line;
    }
    if (count > windowsReported) windowsReported = count;
}

// Ends the driver; the folder goes too unless something failed.
function stopWatch() {
    if (watch) {
        if (watch.Status == 0) watch.Terminate();
        var started = new Date().getTime();   // Wine's WScript has no Sleep
        while (watch.Status == 0 && new Date().getTime() - started < 3000) {}
        watch = null;
    }
    try {
        if (failed == 0) fso.DeleteFolder(runFolder, true); else WScript.Echo("files of this run: " + runFolder);
    } catch (e) {}
}
// ----

makeRunFolder("table_export_js");
startWatch();

var TARGET = runFolder + "\\table.out";
function newEngine() { return new ActiveXObject("TarnwickExports7.Engine"); }
// An engine that cannot open a window: no progress or closing message, no save dialog.
function quietEngine() {
    var e = newEngine();
    e.Quiet = true;
    e.SkipFilenameSelection = true;
    e.TargetFilename = TARGET;
    return e;
}
function newPicture() { return new ActiveXObject("Scripting.Dictionary"); }
// A grid with every member the comma-separated export reads.
function fullGrid(cols, wallPaper) {
    return {
        Rows: 2, Cols: cols, Redraw: true, WallPaper: wallPaper,
        RowHeight: function (r) { return 240; },
        RowHidden: function (r) { return false; },
        Cell: function (setting, r, c) { return setting == 0 ? "r" + r + "c" + c : setting == 5 ? 0 : null; }
    };
}
function readFile(path) {
    var stream = fso.OpenTextFile(path, 1, false, 0);
    var text = stream.AtEndOfStream ? "" : stream.ReadAll();
    stream.Close();
    return text;
}
// A delimited file without its first two lines (the date line and "#").
function rowsOf(path) {
    var text = readFile(path);
    return text.substr(text.indexOf("\r\n", text.indexOf("\r\n") + 2) + 2);
}

group("engine from JScript", function () {
    var e = newEngine();
    check("default Title", "", e.Title);
    check("default ImageHeight", 0, e.ImageHeight);
    check("default Quiet", false, e.Quiet);
    check("Name", "Quillon Export Engine", e.Name);
    check("Version looks like 7.0.N", true, /^7\.0\.\d+$/.test(e.Version));
    check("assigning Name throws", true, thrown(function () { e.Name = "Other"; }));
    check("Name unchanged", "Quillon Export Engine", e.Name);
    e.ColumnList = 0;
    check("ColumnList from the number 0", ",0,", e.ColumnList);
    e.ColumnList = "1,3";
    check("ColumnList 1,3", ",1,3,", e.ColumnList);
    e.FileFormat = "XLS";
    e.Quiet = true;
    e.DefaultPrinter = "Laser";
    check("FileFormat from a literal", "XLS", e.FileFormat);
    check("Quiet from a literal", true, e.Quiet);
    check("DefaultPrinter from a literal", "Laser", e.DefaultPrinter);
});

group("grid object with properties", function () {
    var e = quietEngine();
    var picture = newPicture();
    var grid = fullGrid(4, picture);
    var r = e.ExportTable(grid, "CSV");
    check("result is the Boolean true", true, r);
    check("ColumnList from Cols", ",0,,1,,2,,3,", e.ColumnList);
    check("file name read back", TARGET + ".csv", e.TargetFilename);
    check("rows written", "r0c0,r0c1,r0c2,r0c3\r\nr1c0,r1c1,r1c2,r1c3\r\n", rowsOf(TARGET + ".csv"));
    check("wallpaper is the grid's own picture again", picture, grid.WallPaper);
    check("Redraw on again", true, grid.Redraw);

    e = quietEngine();
    e.SkipFieldSelection = true;
    r = e.ExportTable({ Cols: 4, WallPaper: picture }, "DOCX");
    check("skip field selection: ColumnList from Cols", ",0,1,2,3,", e.ColumnList);
    e.ColumnList = "3";
    r = e.ExportTable({ Cols: 4, WallPaper: picture }, "CSV");
    check("skip field selection keeps the host's list", ",3,", e.ColumnList);
});

group("unknown and empty method", function () {
    var e = quietEngine();
    var grid = { Cols: 2, WallPaper: 7 };
    e.ImageFormat = "BMP";
    var r = e.ExportTable(grid, "DOCX");
    check("unknown method: result", false, r);
    check("unknown method: wallpaper untouched", 7, grid.WallPaper);
    check("unknown method: ImageFormat untouched", "BMP", e.ImageFormat);

    r = e.ExportTable(grid, "");
    check("empty method: SelectMethod on", true, e.SelectMethod);
    check("empty method: wallpaper untouched", 7, grid.WallPaper);
    e.SkipFieldSelection = true;
    e.ColumnList = "1";
    r = e.ExportTable({ Cols: 3 }, "CSV");
    check("SelectMethod stays on: all columns chosen", ",0,,1,,2,", e.ColumnList);
});

group("file options after table exports", function () {
    var e = newEngine();
    e.Quiet = true;
    e.SkipFilenameSelection = true;
    e.ExportTable({ Cols: 2 }, "DOCX");
    check("no target clears SkipFilenameSelection, even for an unknown method", false, e.SkipFilenameSelection);

    var grid = new ActiveXObject("ExportTestHost.Grid");
    grid.LoadFromText("A | B\n1 | 2");
    var target = runFolder + "\\grid.png";
    e = quietEngine();
    e.SkipFieldSelection = true;
    e.TargetFilename = target;
    check("png: result", true, e.ExportTable(grid, "png"));
    check("png: TargetFilename kept", target, e.TargetFilename);
    check("png: SkipFilenameSelection kept", true, e.SkipFilenameSelection);
    check("png: ImageFormat as written", "png", e.ImageFormat);
    check("png: FileFormat untouched", "", e.FileFormat);
    check("png: file written", true, fso.FileExists(target));
});

group("grids that lack members", function () {
    var e = quietEngine();
    check("empty object", false, thrown(function () { e.ExportTable({}, "CSV"); }));
    check("null", false, thrown(function () { e.ExportTable(null, "CSV"); }));
    e.SkipFieldSelection = true;
    e.ColumnList = "0,1";
    check("no WallPaper, host's list", false, thrown(function () { e.ExportTable({ Cols: 2 }, "CSV"); }));
    check("empty object, host's list", false, thrown(function () { e.ExportTable({}, "CSV"); }));
    check("empty object, unknown method", false, thrown(function () { e.ExportTable({}, "DOCX"); }));
    check("result for an empty object", false, e.ExportTable({}, "CSV"));
});

group("non-table operations", function () {
    var e = quietEngine();
    var chart = newPicture();
    check("ExportChart with a table-only method: result", false, e.ExportChart(chart, "xls"));
    check("ExportChart(xls): FileFormat", "xls", e.FileFormat);
    e.ExportMap(chart, "GIF");
    check("ExportMap(GIF) keeps FileFormat", "xls", e.FileFormat);
    check("ExportMap(GIF): ImageFormat", "GIF", e.ImageFormat);

    e.FileFormat = "CSV";
    e.ExportText("t", "png");
    check("ExportText(png) replaces FileFormat", "png", e.FileFormat);
    e.ExportRTF("{\\rtf1 x}", "Xls");
    check("ExportRTF(Xls) replaces FileFormat", "Xls", e.FileFormat);
    e.ExportText("t", "DOCX");
    check("ExportText(DOCX) keeps FileFormat", "Xls", e.FileFormat);

    var names = ["CSV", "xls", "PNG", "PRINTER", "DOCX", ""];
    for (var i = 0; i < names.length; i++)
        check("ExportMap(" + names[i] + ")", false, e.ExportMap(chart, names[i]));
    check("ExportEMFFile", false, e.ExportEMFFile("Z:\\tmp\\in.emf", "CSV"));
    check("ExportImageFile", false, e.ExportImageFile("Z:\\tmp\\in.png", "XLS"));

    e = quietEngine();
    check("ExportText(TXT) writes the text", true, e.ExportText("from JScript", "TXT"));
    check("ExportText(TXT): file name read back", TARGET + ".txt", e.TargetFilename);
    check("ExportText(TXT): FileFormat", "TXT", e.FileFormat);
    check("ExportText(TXT): file content", "from JScript\r\n", readFile(TARGET + ".txt"));

    e.TargetFilename = TARGET;
    e.ExportMap(chart, "PRINTER");
    check("ExportMap(PRINTER) forgets TargetFilename", "", e.TargetFilename);
    check("SendTo", false, e.SendTo("Z:\\tmp\\report.pdf", "MAIL"));
});

group("grid whose members are functions", function () {
    var e = quietEngine();
    e.SkipFieldSelection = true;
    e.TargetFilename = runFolder + "\\functions.csv";
    var grid = {
        Rows: function () { return 1; },
        Cols: function () { return 3; },
        RowHeight: function (r) { return 240; },
        RowHidden: function (r) { return false; },
        Cell: function (setting, r, c) { return setting == 0 ? "f" + c : setting == 5 ? 0 : null; },
        Redraw: true,
        WallPaper: null
    };
    check("export through function members", true, e.ExportTable(grid, "CSV"));
    check("ColumnList from a Cols function", ",0,1,2,", e.ColumnList);
    check("row written", "f0,f1,f2\r\n", rowsOf(runFolder + "\\functions.csv"));
});

stopWatch();
WScript.Echo(passed + " passed, " + failed + " failed");
