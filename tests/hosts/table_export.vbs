' ExportTable with grids written in VBScript: the column list it settles on, SelectMethod,
' the wallpaper taken off the grid around the export and put back, and grids that lack
' members or fail.
Option Explicit

' ---- checks shared by the host scripts: failures print "FAIL: ...", the last line is the summary
Dim passed
Dim failed
passed = 0
failed = 0
Function Kind(v)
    Kind = "Object"
    If IsObject(v) Then Exit Function   ' TypeName(Nothing) crashes Wine's VBScript
    Kind = TypeName(v)
    If InStr(" Byte Integer Long Single Double Currency Decimal ", " " & Kind & " ") > 0 Then Kind = "Number"
End Function
Function Shown(v)
    If Not IsObject(v) Then
        Shown = "'" & v & "' (" & TypeName(v) & ")"
    ElseIf v Is Nothing Then
        Shown = "Nothing"
    Else
        Shown = "<" & TypeName(v) & ">"
    End If
End Function
Sub Check(what, expected, actual)
    Dim ok
    ok = (Kind(expected) = Kind(actual))
    If ok Then
        If IsObject(expected) Then ok = (expected Is actual) Else ok = (expected = actual)
    End If
    If ok Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & what & ": expected " & Shown(expected) & ", got " & Shown(actual)
    End If
End Sub
Sub Finished(group)
    If Err.Number <> 0 Then
        failed = failed + 1
        WScript.Echo "FAIL: " & group & " stopped by error " & Err.Number & " " & Err.Description
        Err.Clear
    End If
End Sub
' ----

Const TARGET = "Z:\tmp\tarnwick-host-tests\table.out"

' A grid that answers Cols and WallPaper and writes down what the engine did with the wallpaper.
Class RecordingGrid
    Public ColCount
    Public WallLog
    Public SetCount
    Public FirstSet
    Public LastSet
    Private mWallPaper

    Private Sub Class_Initialize()
        ColCount = 3
        Forget
        Set mWallPaper = CreateObject("Scripting.Dictionary")
    End Sub

    Public Sub Forget()
        WallLog = ""
        SetCount = 0
        Set FirstSet = Nothing
        Set LastSet = Nothing
    End Sub

    Public Property Get Cols()
        Cols = ColCount
    End Property

    Public Property Get WallPaper()
        WallLog = WallLog & "Get;"
        Set WallPaper = mWallPaper
    End Property

    Public Property Set WallPaper(picture)
        WallLog = WallLog & "Set;"
        SetCount = SetCount + 1
        If SetCount = 1 Then Set FirstSet = picture
        Set LastSet = picture
        Set mWallPaper = picture
    End Property

    ' The current wallpaper, read without leaving a trace in the log.
    Public Function Current()
        Set Current = mWallPaper
    End Function

    Public Sub UseWallPaper(picture)
        Set mWallPaper = picture
    End Sub
End Class

Class NoMembers
End Class

Class FailingGrid
    Public Property Get Cols()
        Err.Raise 1001, "FailingGrid", "Cols is not available"
    End Property
    Public Property Get WallPaper()
        Err.Raise 1002, "FailingGrid", "WallPaper is not available"
    End Property
    Public Property Set WallPaper(picture)
        Err.Raise 1003, "FailingGrid", "WallPaper cannot be set"
    End Property
End Class

Function NewEngine()
    Set NewEngine = CreateObject("TarnwickExports7.Engine")
End Function

Function NewGrid(columns)
    Set NewGrid = New RecordingGrid
    NewGrid.ColCount = columns
End Function

' While the column dialog does not show, every column is chosen, each in its own commas.
Sub ColumnsChosenWithoutTheDialog()
    Dim e, r
    Set e = NewEngine()
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "3 columns, field selection on: result", False, r
    Check "3 columns, field selection on: ColumnList", ",0,,1,,2,", e.ColumnList
    r = e.ExportTable(NewGrid(1), "CSV")
    Check "1 column, field selection on: ColumnList", ",0,", e.ColumnList
    r = e.ExportTable(NewGrid(12), "CSV")
    Check "12 columns, field selection on: ColumnList", ",0,,1,,2,,3,,4,,5,,6,,7,,8,,9,,10,,11,", e.ColumnList

    e.ColumnList = "2"
    r = e.ExportTable(NewGrid(2), "HTML")
    Check "field selection on replaces a ColumnList the host set", ",0,,1,", e.ColumnList
    r = e.ExportTable(NewGrid(2), "DOCX")
    Check "columns are chosen before an unknown method is refused", ",0,,1,", e.ColumnList
End Sub

Sub ColumnsWhenFieldSelectionIsSkipped()
    Dim e, r
    Set e = NewEngine()
    e.SkipFieldSelection = True
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "skip field selection, empty list: ColumnList", ",0,1,2,", e.ColumnList
    r = e.ExportTable(NewGrid(5), "CSV")
    Check "skip field selection keeps the list it made before", ",0,1,2,", e.ColumnList

    e.ColumnList = "2"
    r = e.ExportTable(NewGrid(4), "CSV")
    Check "skip field selection keeps the host's list", ",2,", e.ColumnList
    e.ColumnList = "0,2"
    r = e.ExportTable(NewGrid(4), "XLS")
    Check "skip field selection keeps the host's two-column list", ",0,2,", e.ColumnList
    Check "SkipFieldSelection still set", True, e.SkipFieldSelection

    e.ColumnList = "2"
    e.SelectMethod = True
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "SelectMethod overrides SkipFieldSelection: ColumnList", ",0,,1,,2,", e.ColumnList
End Sub

Sub EmptyColumnListStopsTheExport()
    Dim e, g, r
    Set e = NewEngine()
    Set g = NewGrid(0)
    e.ColumnList = "5"
    r = e.ExportTable(g, "CSV")
    Check "grid without columns: result", False, r
    Check "grid without columns: ColumnList", "", e.ColumnList
    Check "grid without columns: wallpaper untouched", "", g.WallLog
End Sub

Sub EmptyMethodTurnsOnSelectMethod()
    Dim e, g, r
    Set e = NewEngine()
    Set g = NewGrid(3)
    e.SkipFieldSelection = True
    e.ColumnList = "1"
    r = e.ExportTable(g, "")
    Check "empty method: result", False, r
    Check "empty method: SelectMethod", True, e.SelectMethod
    Check "empty method: all columns chosen", ",0,,1,,2,", e.ColumnList
    Check "empty method: wallpaper untouched", "", g.WallLog

    e.ColumnList = "1"
    r = e.ExportTable(g, "CSV")
    Check "SelectMethod stays on for the next export", True, e.SelectMethod
    Check "next export with SelectMethod on: all columns chosen", ",0,,1,,2,", e.ColumnList

    e.SelectMethod = False
    e.ColumnList = "1"
    r = e.ExportTable(g, "CSV")
    Check "host turned SelectMethod off: list kept", ",1,", e.ColumnList
    Check "host turned SelectMethod off: stays off", False, e.SelectMethod
End Sub

Sub FileOptionsAfterATableExport()
    Dim e, r, method
    For Each method In Array("CSV", "DOCX")
        Set e = NewEngine()
        e.SkipFilenameSelection = True
        r = e.ExportTable(NewGrid(2), method)
        Check method & " without a target clears SkipFilenameSelection", False, e.SkipFilenameSelection
    Next
    Set e = NewEngine()
    e.SkipFilenameSelection = True
    r = e.ExportTable(NewGrid(0), "CSV")
    Check "no columns, no target: SkipFilenameSelection cleared first", False, e.SkipFilenameSelection

    For Each method In Array("CSV", "txt", "Html", "MHTML", "XLS", "EXCEL", "PDF", "PNG", "image")
        Set e = NewEngine()
        e.TargetFilename = TARGET
        e.SkipFilenameSelection = True
        r = e.ExportTable(NewGrid(2), method)
        Check method & ": result", False, r
        Check method & ": TargetFilename kept", TARGET, e.TargetFilename
        Check method & ": SkipFilenameSelection kept", True, e.SkipFilenameSelection
        Check method & ": FileFormat untouched", "", e.FileFormat
    Next
    For Each method In Array("PREVIEW", "printer")
        Set e = NewEngine()
        e.TargetFilename = TARGET
        r = e.ExportTable(NewGrid(2), method)
        Check method & ": the printer forgets TargetFilename", "", e.TargetFilename
    Next

    Set e = NewEngine()
    e.FileFormat = "CSV"
    r = e.ExportTable(NewGrid(2), "gif")
    Check "gif table: ImageFormat as written", "gif", e.ImageFormat
    Check "gif table: FileFormat untouched", "CSV", e.FileFormat
    e.ImageFormat = "BMP"
    r = e.ExportTable(NewGrid(2), "DOCX")
    Check "unknown method: ImageFormat untouched", "BMP", e.ImageFormat
End Sub

Sub WallPaperIsTakenOffAndPutBack()
    Dim e, g, r, original, method
    For Each method In Array("CSV", "HTML", "XLS", "PDF", "PNG", "PREVIEW")
        Set e = NewEngine()
        Set g = NewGrid(3)
        Set original = g.Current()
        r = e.ExportTable(g, method)
        Check method & ": wallpaper read, replaced, restored", "Get;Set;Set;", g.WallLog
        Check method & ": the stand-in is an object", False, (g.FirstSet Is Nothing)
        Check method & ": the stand-in is not the grid's picture", False, (g.FirstSet Is original)
        Check method & ": the grid's picture is put back", original, g.LastSet
        Check method & ": the grid ends with its picture", original, g.Current()
    Next

    Set e = NewEngine()
    Set g = NewGrid(3)
    g.UseWallPaper Nothing
    r = e.ExportTable(g, "CSV")
    Check "no wallpaper: still replaced while exporting", "Get;Set;Set;", g.WallLog
    Check "no wallpaper: the stand-in is an object", False, (g.FirstSet Is Nothing)
    Check "no wallpaper: ends with none again", True, (g.Current() Is Nothing)

    Set g = NewGrid(3)
    Set original = g.Current()
    r = e.ExportTable(g, "DOCX")
    Check "unknown method: wallpaper untouched", "", g.WallLog
    Check "unknown method: grid keeps its picture", original, g.Current()
End Sub

Sub TheGridArgumentComesBackUnchanged()
    Dim e, g, kept, r
    Set e = NewEngine()
    Set g = NewGrid(2)
    Set kept = g
    r = e.ExportTable(g, "CSV")
    Check "grid variable after ExportTable", kept, g
End Sub

Function ErrorOfExport(e, grid, method)
    Dim r
    On Error Resume Next
    r = e.ExportTable(grid, method)
    ErrorOfExport = Err.Number
    Err.Clear
    On Error GoTo 0
End Function

' A grid missing members, or failing in them, never makes ExportTable raise.
Sub UnhelpfulGridsDoNotRaise()
    Dim e, bare, failing
    Set bare = New NoMembers
    Set failing = New FailingGrid

    Set e = NewEngine()
    Check "grid without members, field selection on", 0, ErrorOfExport(e, bare, "CSV")
    Check "grid without members: result", False, e.ExportTable(bare, "CSV")
    e.SkipFieldSelection = True
    Check "grid without members, field selection skipped", 0, ErrorOfExport(e, bare, "CSV")
    e.ColumnList = "0,1"
    Check "grid without members, host's column list", 0, ErrorOfExport(e, bare, "CSV")
    Check "grid without members, printer", 0, ErrorOfExport(e, bare, "PREVIEW")

    Set e = NewEngine()
    Check "failing grid, field selection on", 0, ErrorOfExport(e, failing, "CSV")
    e.SkipFieldSelection = True
    e.ColumnList = "0"
    Check "failing grid, host's column list", 0, ErrorOfExport(e, failing, "HTML")
    Check "failing grid: result", False, e.ExportTable(failing, "HTML")

    Set e = NewEngine()
    Check "Nothing as the grid", 0, ErrorOfExport(e, Nothing, "CSV")
    e.SkipFieldSelection = True
    e.ColumnList = "0"
    Check "Nothing as the grid, host's column list", 0, ErrorOfExport(e, Nothing, "CSV")
End Sub

On Error Resume Next
ColumnsChosenWithoutTheDialog : Finished "columns with field selection"
ColumnsWhenFieldSelectionIsSkipped : Finished "columns without field selection"
EmptyColumnListStopsTheExport : Finished "empty column list"
EmptyMethodTurnsOnSelectMethod : Finished "empty method"
FileOptionsAfterATableExport : Finished "file options"
WallPaperIsTakenOffAndPutBack : Finished "wallpaper"
TheGridArgumentComesBackUnchanged : Finished "grid argument"
UnhelpfulGridsDoNotRaise : Finished "unhelpful grids"
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
