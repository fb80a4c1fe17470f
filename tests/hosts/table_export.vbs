' ExportTable with grids written in VBScript and with the test host's grid: the column list
' it settles on, SelectMethod, the file options read back, the wallpaper taken off the grid
' around the export and put back, and grids that lack members or fail. Exports run quietly
' into this run's folder, or use a method no exporter has.
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
    ReportWindows group
End Sub

' ---- exports write into a folder of this run's own, and uidriver.exe watches for dialogs:
' it closes every save dialog and message box this process shows, and Finished counts each
' one as a failure of the group that was running, so an export that opens a window the
' test did not expect fails instead of stopping the script for good. Call StopWatch last.
Dim fso
Set fso = CreateObject("Scripting.FileSystemObject")
Dim RunFolder
Dim Watch
Dim WatchLog
Dim WindowsReported
Dim WatchEndReported
Set Watch = Nothing
WindowsReported = 0
WatchEndReported = False

Sub MakeRunFolder(name)
    Dim root, tries
    root = "Z:\tmp\tarnwick-host-tests"
    Randomize
    On Error Resume Next
    If Not fso.FolderExists(root) Then fso.CreateFolder root
    tries = 0
    Do
        tries = tries + 1
        Err.Clear
        RunFolder = root & "\" & name & "-" & CStr(Int(Rnd * 1000000000))
        fso.CreateFolder RunFolder
    Loop While Err.Number <> 0 And tries < 20
    Err.Clear
End Sub

Sub StartWatch()
    Dim root, driver, steps, stream, i
    root = fso.GetParentFolderName(fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)))
    driver = root & "\build\win64\uidriver.exe"
    If Not fso.FileExists(driver) Then driver = root & "\build\win32\uidriver.exe"
    If Not fso.FileExists(driver) Then
        WScript.Echo "note: no uidriver.exe in " & root & "\build: dialogs are not watched"
        Exit Sub
    End If
    steps = RunFolder & "\watch-steps.txt"
    WatchLog = RunFolder & "\watch.log"
    Set stream = fso.CreateTextFile(steps, True)
    For i = 1 To 500
        stream.WriteLine "window class=#32770"
        stream.WriteLine "read"
        stream.WriteLine "close"
        stream.WriteLine "gone"
    Next
    stream.Close
    Set Watch = CreateObject("WScript.Shell").Exec("""" & driver & """ --unicode-log --log """ & WatchLog & _
                                                   """ --deadline 240 --script """ & steps & """")
End Sub

' The windows the driver found since the last report, as failures of `group`. Each window
' is logged as "window ...", then again by "read" with its controls; control 65535 is a
' message box's text.
Sub ReportWindows(group)
    Dim stream, lines, line, previous, i, count, text
    If Watch Is Nothing Then Exit Sub
    If Not fso.FileExists(WatchLog) Then Exit Sub
    If fso.GetFile(WatchLog).Size < 4 Then Exit Sub   ' nothing logged yet, maybe not even the byte-order mark
    ' The driver keeps its log open for writing, which a text stream cannot share: read a copy.
    fso.CopyFile WatchLog, WatchLog & ".copy", True
    Set stream = fso.OpenTextFile(WatchLog & ".copy", 1, False, -1)
    text = ""
    If Not stream.AtEndOfStream Then text = stream.ReadAll
    stream.Close
    lines = Split(text, vbCrLf)
    count = 0
    previous = ""
    For i = 0 To UBound(lines)
        line = lines(i)
        If Left(line, 7) = "window " And line <> previous Then
            count = count + 1
            If count > WindowsReported Then
                failed = failed + 1
                WScript.Echo "FAIL: " & group & ": a dialog stayed open until the driver closed it: " & Mid(line, 8)
            End If
        ElseIf Left(line, 19) = "control id=65535 cl" And count > WindowsReported Then
            WScript.Echo "      it said: " & Mid(line, InStr(line, " text=") + 6)
        ElseIf (Left(line, 6) = "error:" Or Left(line, 9) = "deadline:") And Not WatchEndReported Then
            failed = failed + 1
            WatchEndReported = True
            WScript.Echo "FAIL: " & group & ": the dialog watch ended early: " & line
        End If
        previous = line
    Next
    If count > WindowsReported Then WindowsReported = count
End Sub

' Ends the driver; the folder goes too unless something failed.
Sub StopWatch()
    Dim started
    If Not Watch Is Nothing Then
        If Watch.Status = 0 Then Watch.Terminate
        started = Timer   ' Wine's WScript has no Sleep
        Do While Watch.Status = 0 And Abs(Timer - started) < 3
        Loop
        Set Watch = Nothing
    End If
    On Error Resume Next
    If failed = 0 Then fso.DeleteFolder RunFolder, True Else WScript.Echo "files of this run: " & RunFolder
    Err.Clear
End Sub
' ----

MakeRunFolder "table_export"
StartWatch

Dim TARGET
TARGET = RunFolder & "\table.out"

' A grid with every member a delimited export reads (Rows, Cols, RowHeight, RowHidden,
' Cell, Redraw, WallPaper), which writes down what the engine did with its wallpaper and
' what the exporter did with Redraw.
Class RecordingGrid
    Public RowCount
    Public ColCount
    Public WallLog
    Public RedrawLog
    Public SetCount
    Public FirstSet
    Public LastSet
    Private mWallPaper
    Private mRedraw

    Private Sub Class_Initialize()
        RowCount = 2
        ColCount = 3
        mRedraw = True
        Forget
        Set mWallPaper = CreateObject("Scripting.Dictionary")
    End Sub

    Public Sub Forget()
        WallLog = ""
        RedrawLog = ""
        SetCount = 0
        Set FirstSet = Nothing
        Set LastSet = Nothing
    End Sub

    Public Property Get Rows()
        Rows = RowCount
    End Property
    Public Property Get Cols()
        Cols = ColCount
    End Property
    Public Property Get RowHeight(r)
        RowHeight = 240
    End Property
    Public Property Get RowHidden(r)
        RowHidden = False
    End Property
    Public Property Get Cell(setting, r, c)
        Select Case setting
            Case 0: Cell = "r" & r & "c" & c
            Case 3: Set Cell = Nothing
            Case 5: Cell = 0
            Case Else: Cell = Empty
        End Select
    End Property
    Public Property Get Redraw()
        Redraw = mRedraw
    End Property
    Public Property Let Redraw(v)
        RedrawLog = RedrawLog & CStr(v) & ";"
        mRedraw = v
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

' An engine that cannot open a window: no progress or closing message, no save dialog.
Function QuietEngine()
    Set QuietEngine = NewEngine()
    QuietEngine.Quiet = True
    QuietEngine.SkipFilenameSelection = True
    QuietEngine.TargetFilename = TARGET
End Function

Function NewGrid(columns)
    Set NewGrid = New RecordingGrid
    NewGrid.ColCount = columns
End Function

' The test host's grid: every member any exporter reads, and a log of the writes.
Function HostGrid()
    Dim g
    Set g = CreateObject("ExportTestHost.Grid")
    g.LoadFromText "Name | Qty" & vbLf & "Apples | 3" & vbLf & "Pears | 5"
    Set g.WallPaper = CreateObject("Scripting.Dictionary")
    g.ResetCounters
    Set HostGrid = g
End Function

' The lines of a write log, for messages that name what came instead.
Function Logged(grid)
    Logged = Replace(grid.WriteLog, vbCrLf, " / ")
End Function

' The column dialog has nothing to offer for this grid (it has no widths or headers to
' list), so with field selection on every column is chosen, each in its own commas. The
' test host's grid would be offered: it is always exported with SkipFieldSelection.
Sub ColumnsChosenWithoutTheDialog()
    Dim e, r
    Set e = QuietEngine()
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "3 columns, field selection on: result", True, r
    Check "3 columns, field selection on: ColumnList", ",0,,1,,2,", e.ColumnList
    r = e.ExportTable(NewGrid(1), "CSV")
    Check "1 column, field selection on: ColumnList", ",0,", e.ColumnList
    r = e.ExportTable(NewGrid(12), "CSV")
    Check "12 columns, field selection on: ColumnList", ",0,,1,,2,,3,,4,,5,,6,,7,,8,,9,,10,,11,", e.ColumnList

    e.ColumnList = "2"
    r = e.ExportTable(NewGrid(2), "CSV")
    Check "field selection on replaces a ColumnList the host set", ",0,,1,", e.ColumnList
    e.ColumnList = "1"
    r = e.ExportTable(NewGrid(2), "DOCX")
    Check "columns are chosen before an unknown method is refused", ",0,,1,", e.ColumnList
End Sub

Sub ColumnsWhenFieldSelectionIsSkipped()
    Dim e, r
    Set e = QuietEngine()
    e.SkipFieldSelection = True
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "skip field selection, empty list: ColumnList", ",0,1,2,", e.ColumnList
    r = e.ExportTable(NewGrid(5), "CSV")
    Check "skip field selection keeps the list it made before", ",0,1,2,", e.ColumnList

    e.ColumnList = "2"
    r = e.ExportTable(NewGrid(4), "CSV")
    Check "skip field selection keeps the host's list", ",2,", e.ColumnList
    e.ColumnList = "0,2"
    r = e.ExportTable(NewGrid(4), "DOCX")
    Check "skip field selection keeps the host's two-column list", ",0,2,", e.ColumnList
    Check "SkipFieldSelection still set", True, e.SkipFieldSelection

    e.ColumnList = "2"
    e.SelectMethod = True
    r = e.ExportTable(NewGrid(3), "CSV")
    Check "SelectMethod overrides SkipFieldSelection: ColumnList", ",0,,1,,2,", e.ColumnList
End Sub

Sub EmptyColumnListStopsTheExport()
    Dim e, g, r
    Set e = QuietEngine()
    Set g = NewGrid(0)
    e.ColumnList = "5"
    r = e.ExportTable(g, "CSV")
    Check "grid without columns: result", False, r
    Check "grid without columns: ColumnList", "", e.ColumnList
    Check "grid without columns: wallpaper untouched", "", g.WallLog
    Check "grid without columns: no exporter ran (Redraw untouched)", "", g.RedrawLog
End Sub

Sub EmptyMethodTurnsOnSelectMethod()
    Dim e, g, r
    Set e = QuietEngine()
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
    Dim e, r, method, extension, what
    ' Cleared before the method is looked up: an unknown or empty method opens nothing.
    For Each method In Array("DOCX", "")
        Set e = NewEngine()
        e.Quiet = True
        e.SkipFilenameSelection = True
        r = e.ExportTable(NewGrid(2), method)
        Check "'" & method & "' without a target clears SkipFilenameSelection", False, e.SkipFilenameSelection
    Next
    Set e = NewEngine()
    e.Quiet = True
    e.SkipFilenameSelection = True
    r = e.ExportTable(NewGrid(0), "CSV")
    Check "no columns, no target: SkipFilenameSelection cleared first", False, e.SkipFilenameSelection

    ' Exports that run: the file name the exporter settled on is read back, the rest stays.
    For Each method In Array("CSV.csv", "txt.txt", "Html.htm", "gif.gif")
        extension = Mid(method, InStr(method, "."))
        method = Left(method, InStr(method, ".") - 1)
        Set e = QuietEngine()
        e.SkipFieldSelection = True
        r = e.ExportTable(HostGrid(), method)
        what = method & " with a target: "
        Check what & "result", True, r
        Check what & "TargetFilename read back", TARGET & extension, e.TargetFilename
        Check what & "SkipFilenameSelection kept", True, e.SkipFilenameSelection
        Check what & "FileFormat untouched", "", e.FileFormat
        Check what & "file written", True, fso.FileExists(TARGET & extension)
    Next
    ' Exporters still to come: whatever they do, the options the engine keeps stay.
    For Each method In Array("MHTML", "XLS", "PDF")
        Set e = QuietEngine()
        e.SkipFieldSelection = True
        r = e.ExportTable(HostGrid(), method)
        what = method & " with a target: "
        Check what & "TargetFilename starts with the target", TARGET, Left(e.TargetFilename, Len(TARGET))
        Check what & "SkipFilenameSelection kept", True, e.SkipFilenameSelection
        Check what & "FileFormat untouched", "", e.FileFormat
    Next

    Set e = QuietEngine()
    e.SkipFieldSelection = True
    e.FileFormat = "CSV"
    r = e.ExportTable(HostGrid(), "gif")
    Check "gif table: ImageFormat as written", "gif", e.ImageFormat
    Check "gif table: FileFormat untouched", "CSV", e.FileFormat
    e.ImageFormat = "BMP"
    r = e.ExportTable(NewGrid(2), "DOCX")
    Check "unknown method: ImageFormat untouched", "BMP", e.ImageFormat
End Sub

Sub WallPaperIsTakenOffAndPutBack()
    Dim e, g, r, original, method, lines
    Set e = QuietEngine()
    Set g = NewGrid(3)
    Set original = g.Current()
    r = e.ExportTable(g, "CSV")
    Check "CSV: wallpaper read, replaced, restored", "Get;Set;Set;", g.WallLog
    Check "CSV: the stand-in is an object", False, (g.FirstSet Is Nothing)
    Check "CSV: the stand-in is not the grid's picture", False, (g.FirstSet Is original)
    Check "CSV: the grid's picture is put back", original, g.LastSet
    Check "CSV: the grid ends with its picture", original, g.Current()

    ' The test host's grid logs the writes: a picture goes in before the exporter runs, and
    ' the grid's own wallpaper (an object that is no picture) comes back after it.
    For Each method In Array("TXT", "HTML", "PNG", "MHTML", "XLS", "PDF")
        Set e = QuietEngine()
        e.SkipFieldSelection = True
        Set g = HostGrid()
        Set original = g.WallPaper
        r = e.ExportTable(g, method)
        lines = Split(g.WriteLog, vbCrLf)
        Check method & ": first write puts in a picture (" & Logged(g) & ")", "WallPaper=<picture>", lines(0)
        Check method & ": last write puts back the grid's wallpaper", "WallPaper=<object>", lines(UBound(lines))
        Check method & ": the grid ends with its wallpaper", original, g.WallPaper
    Next

    Set e = QuietEngine()
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

' The test host's grid written as comma-separated text from end to end.
Sub HostGridToCsv()
    Dim e, g, r, text, stream
    Set g = HostGrid()
    Set e = QuietEngine()
    e.SkipFieldSelection = True
    e.TargetFilename = RunFolder & "\host"
    r = e.ExportTable(g, "CSV")
    Check "host grid as CSV: result", True, r
    Check "host grid as CSV: TargetFilename read back", RunFolder & "\host.csv", e.TargetFilename
    Check "host grid as CSV: ColumnList", ",0,1,", e.ColumnList
    Check "host grid as CSV: writes, in order", _
          "WallPaper=<picture> / Redraw=False / Redraw=True / WallPaper=<object>", Logged(g)
    Check "host grid as CSV: Redraw on at the end", True, g.Redraw
    Set stream = fso.OpenTextFile(RunFolder & "\host.csv", 1, False, 0)
    text = stream.ReadAll
    stream.Close
    ' The first two lines are the date line and "#".
    Check "host grid as CSV: rows", "Name,Qty" & vbCrLf & "Apples,3" & vbCrLf & "Pears,5" & vbCrLf, _
          Mid(text, InStr(InStr(text, vbCrLf) + 2, text, vbCrLf) + 2)
End Sub

Sub TheGridArgumentComesBackUnchanged()
    Dim e, g, kept, r
    Set e = QuietEngine()
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

' A grid missing members, or failing in them, never makes ExportTable raise. Only the
' comma-separated exporter meets them: its failures end the export without a message.
Sub UnhelpfulGridsDoNotRaise()
    Dim e, bare, failing
    Set bare = New NoMembers
    Set failing = New FailingGrid

    Set e = QuietEngine()
    Check "grid without members, field selection on", 0, ErrorOfExport(e, bare, "CSV")
    Check "grid without members: result", False, e.ExportTable(bare, "CSV")
    e.SkipFieldSelection = True
    Check "grid without members, field selection skipped", 0, ErrorOfExport(e, bare, "CSV")
    e.ColumnList = "0,1"
    Check "grid without members, host's column list", 0, ErrorOfExport(e, bare, "CSV")
    Check "grid without members, host's column list: result", False, e.ExportTable(bare, "CSV")
    Check "grid without members, unknown method", 0, ErrorOfExport(e, bare, "DOCX")

    Set e = QuietEngine()
    Check "failing grid, field selection on", 0, ErrorOfExport(e, failing, "CSV")
    e.SkipFieldSelection = True
    e.ColumnList = "0"
    Check "failing grid, host's column list", 0, ErrorOfExport(e, failing, "CSV")
    Check "failing grid: result", False, e.ExportTable(failing, "CSV")

    Set e = QuietEngine()
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
HostGridToCsv : Finished "test host grid as CSV"
TheGridArgumentComesBackUnchanged : Finished "grid argument"
UnhelpfulGridsDoNotRaise : Finished "unhelpful grids"
StopWatch
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
