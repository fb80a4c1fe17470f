// The engine driven from JScript, with plain JScript objects standing in for the grid.
// JScript passes its values differently from VBScript (literals by value, objects as
// IDispatchEx), so the key table and dispatch rules are checked again from here.

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
}
function thrown(action) {
    try { action(); return false; } catch (e) { return true; }
}
// ----

var TARGET = "Z:\\tmp\\tarnwick-host-tests\\table.out";
function newEngine() { return new ActiveXObject("TarnwickExports7.Engine"); }
function newPicture() { return new ActiveXObject("Scripting.Dictionary"); }

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
    var e = newEngine();
    var picture = newPicture();
    var grid = { Cols: 4, WallPaper: picture };
    var r = e.ExportTable(grid, "CSV");
    check("result is the Boolean false", false, r);
    check("ColumnList from Cols", ",0,,1,,2,,3,", e.ColumnList);
    check("wallpaper is the grid's own picture again", picture, grid.WallPaper);

    e = newEngine();
    e.SkipFieldSelection = true;
    r = e.ExportTable({ Cols: 4, WallPaper: picture }, "HTML");
    check("skip field selection: ColumnList from Cols", ",0,1,2,3,", e.ColumnList);
    e.ColumnList = "3";
    r = e.ExportTable({ Cols: 4, WallPaper: picture }, "HTML");
    check("skip field selection keeps the host's list", ",3,", e.ColumnList);
});

group("unknown and empty method", function () {
    var e = newEngine();
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
    e.SkipFilenameSelection = true;
    e.ExportTable({ Cols: 2 }, "CSV");
    check("no target clears SkipFilenameSelection", false, e.SkipFilenameSelection);

    e.TargetFilename = TARGET;
    e.SkipFilenameSelection = true;
    e.ExportTable({ Cols: 2 }, "png");
    check("png: TargetFilename kept", TARGET, e.TargetFilename);
    check("png: SkipFilenameSelection kept", true, e.SkipFilenameSelection);
    check("png: ImageFormat as written", "png", e.ImageFormat);
    check("png: FileFormat untouched", "", e.FileFormat);

    e.ExportTable({ Cols: 2 }, "PREVIEW");
    check("PREVIEW forgets TargetFilename", "", e.TargetFilename);
});

group("grids that lack members", function () {
    var e = newEngine();
    check("empty object", false, thrown(function () { e.ExportTable({}, "CSV"); }));
    check("null", false, thrown(function () { e.ExportTable(null, "CSV"); }));
    e.SkipFieldSelection = true;
    e.ColumnList = "0,1";
    check("no WallPaper, host's list", false, thrown(function () { e.ExportTable({ Cols: 2 }, "XLS"); }));
    check("empty object, host's list", false, thrown(function () { e.ExportTable({}, "PDF"); }));
    check("result for an empty object", false, e.ExportTable({}, "PDF"));
});

group("non-table operations", function () {
    var e = newEngine();
    var chart = newPicture();
    check("ExportChart result", false, e.ExportChart(chart, "png"));
    check("ExportChart(png): ImageFormat", "png", e.ImageFormat);
    check("ExportChart(png): FileFormat", "png", e.FileFormat);
    e.ExportPicture(chart, "GIF");
    check("ExportPicture(GIF) keeps FileFormat", "png", e.FileFormat);
    check("ExportPicture(GIF): ImageFormat", "GIF", e.ImageFormat);

    e.FileFormat = "CSV";
    e.ExportText("t", "RTF");
    check("ExportText(RTF) replaces FileFormat", "RTF", e.FileFormat);
    e.ExportRTF("{\\rtf1 x}", "Html");
    check("ExportRTF(Html) replaces FileFormat", "Html", e.FileFormat);
    e.ExportText("t", "DOCX");
    check("ExportText(DOCX) keeps FileFormat", "Html", e.FileFormat);

    var names = ["CSV", "xls", "PNG", "PRINTER", "DOCX", ""];
    for (var i = 0; i < names.length; i++)
        check("ExportMap(" + names[i] + ")", false, e.ExportMap(chart, names[i]));
    check("ExportEMFFile", false, e.ExportEMFFile("Z:\\tmp\\in.emf", "EMF"));
    check("ExportImageFile", false, e.ExportImageFile("Z:\\tmp\\in.png", "IMAGE"));

    e.TargetFilename = TARGET;
    e.ExportText("x", "PRINTER");
    check("ExportText(PRINTER) forgets TargetFilename", "", e.TargetFilename);
    check("SendTo", false, e.SendTo("Z:\\tmp\\report.pdf", "MAIL"));
});

group("grid whose members are functions", function () {
    var e = newEngine();
    e.SkipFieldSelection = true;
    var grid = { Cols: function () { return 3; }, WallPaper: null };
    e.ExportTable(grid, "CSV");
    check("ColumnList from a Cols function", ",0,1,2,", e.ColumnList);
});

WScript.Echo(passed + " passed, " + failed + " failed");
