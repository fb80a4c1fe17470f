// The engine from JScript, which hands over its values its own way: literals by value where
// the engine takes a reference, and plain JScript objects (IDispatchEx) as grids, with
// properties or functions as their members. Exports run quietly into this run's folder.
var TARGET = runFolder + "\\table";

// A delimited file without its first two lines (the date line and "#").
function rowsOf(path) {
    var text = readText(path, 0);
    return text.substr(text.indexOf("\r\n", text.indexOf("\r\n") + 2) + 2);
}

group("every option keeps its own value", function () {
    var e = new ActiveXObject("TarnwickExports7.Engine"), i, j;
    var texts = ["ProgramName", "ProgramVersion", "Title", "SubTitle", "Paragraph", "Footer", "TargetFilename",
                 "InitDir", "ImageFormat", "FileFormat", "DefaultPrinter"];
    var flags = ["SelectMethod", "SkipFilenameSelection", "SkipFieldSelection", "Quiet"];
    var numbers = ["Orientation", "ImageHeight", "ImageWidth"];
    for (i = 0; i < texts.length; i++) check("default " + texts[i], "", e[texts[i]]);
    for (i = 0; i < numbers.length; i++) check("default " + numbers[i], 0, e[numbers[i]]);
    for (i = 0; i < texts.length; i++) e[texts[i]] = texts[i] + " value";
    for (i = 0; i < numbers.length; i++) e[numbers[i]] = i + 1;
    for (i = 0; i < texts.length; i++) check(texts[i], texts[i] + " value", e[texts[i]]);
    for (i = 0; i < numbers.length; i++) check(numbers[i], i + 1, e[numbers[i]]);
    for (i = 0; i < flags.length; i++) {
        e[flags[i]] = true;
        for (j = 0; j < flags.length; j++) check(flags[j] + " after " + flags[i] + " = true", i == j, e[flags[j]]);
        e[flags[i]] = false;
    }
});

group("a plain object as the grid", function () {
    var e = quietEngine(TARGET), picture = new ActiveXObject("Scripting.Dictionary");
    var grid = {
        Rows: 2, Cols: 3, Redraw: true, WallPaper: picture,
        RowHeight: function (r) { return 240; },
        RowHidden: function (r) { return false; },
        Cell: function (setting, r, c) { return setting == 0 ? (c == 1 ? r * 10 : "r" + r + "c" + c) : setting == 5 ? 0 : null; }
    };
    check("CSV export", true, e.ExportTable(grid, "CSV"));
    check("columns from Cols", ",0,,1,,2,", e.ColumnList);
    check("rows", "r0c0,0,r0c2\r\nr1c0,10,r1c2\r\n", rowsOf(TARGET + ".csv"));
    check("the grid's own wallpaper back", picture, grid.WallPaper);
    check("Redraw on again", true, grid.Redraw);
    grid.WallPaper = 7;
    check("unknown method", false, e.ExportTable(grid, "DOCX"));
    check("unknown method: wallpaper untouched", 7, grid.WallPaper);
});

group("functions as the grid's members", function () {
    var e = quietEngine(runFolder + "\\functions.txt");
    e.SkipFieldSelection = true;
    var grid = {
        Rows: function () { return 1; },
        Cols: function () { return 3; },
        RowHeight: function (r) { return 240; },
        RowHidden: function (r) { return false; },
        Cell: function (setting, r, c) { return setting == 0 ? "f" + c : setting == 5 ? 0 : null; },
        Redraw: true, WallPaper: null
    };
    check("TXT export", true, e.ExportTable(grid, "TXT"));
    check("columns from a Cols function", ",0,1,2,", e.ColumnList);
    check("row", "f0\tf1\tf2\r\n", rowsOf(runFolder + "\\functions.txt"));
});

group("literals where the engine takes references", function () {
    var e = quietEngine(TARGET), chart = new ActiveXObject("Scripting.Dictionary");
    e.FileFormat = "XLS";
    e.Quiet = true;
    check("FileFormat from a literal", "XLS", e.FileFormat);
    e.FileFormat = "";
    check("ExportChart with a table-only method", false, e.ExportChart(chart, "xls"));
    check("ExportChart(xls): FileFormat", "xls", e.FileFormat);
    check("ExportEMFFile", false, e.ExportEMFFile("Z:\\tmp\\in.emf", "CSV"));
    check("ExportText writes", true, e.ExportText("from JScript", "TXT"));
    check("ExportText: FileFormat replaced", "TXT", e.FileFormat);
    check("ExportText: the file", "from JScript\r\n", readText(e.TargetFilename, 0));
});

done();
