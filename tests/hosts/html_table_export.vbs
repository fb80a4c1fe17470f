' HTML tables written by the engine from the test host's grid, quietly and without the save
' dialog: the page's name and side folder, merged blocks, the table's width and the cells'
' shares of it, rows and columns that are left out, Boolean columns, escaping, font tags,
' alignment, and cell pictures saved once as GIF files.
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

MakeRunFolder "html_table_export"
StartWatch

' The test host's grid loaded from its text form ("|" between cells, "@" lines for
' attributes; see tests/testhost/README.md).
Function HostGrid(lines)
    Dim g
    Set g = CreateObject("ExportTestHost.Grid")
    g.LoadFromText lines
    Set HostGrid = g
End Function

' Exports `grid` as an HTML page named `name` in this run's folder and returns the page.
Function ExportPage(grid, name, columns)
    Dim e, stream
    Set e = CreateObject("TarnwickExports7.Engine")
    e.Quiet = True
    e.SkipFieldSelection = True
    e.SkipFilenameSelection = True
    e.TargetFilename = RunFolder & "\" & name
    If columns <> "" Then e.ColumnList = columns
    Check name & ": exported", True, e.ExportTable(grid, "HTML")
    ExportPage = ""
    If Not fso.FileExists(e.TargetFilename) Then Exit Function
    Set stream = fso.OpenTextFile(e.TargetFilename, 1, False, 0)
    ExportPage = stream.ReadAll
    stream.Close
End Function

' The table of a page, from its opening tag to its end.
Function TableOf(page)
    Dim start
    start = InStr(page, "<table border=0")
    TableOf = ""
    If start > 0 Then TableOf = Mid(page, start, InStr(start, page, "</table>") - start)
End Function

' The line of the table cell showing `content` ("" when there is none).
Function CellLine(page, content)
    Dim lines, i
    CellLine = ""
    lines = Split(TableOf(page), vbCrLf)
    For i = 0 To UBound(lines)
        If Right(lines(i), Len(content) + 5) = content & "</td>" Then
            CellLine = lines(i)
            Exit Function
        End If
    Next
End Function

Function Count(text, part)
    Dim at
    Count = 0
    at = InStr(text, part)
    Do While at > 0
        Count = Count + 1
        at = InStr(at + 1, text, part)
    Loop
End Function

' The text of the first attribute `name` in a tag line, without quotes ("" when missing).
Function Attribute(line, name)
    Dim at, rest
    Attribute = ""
    at = InStr(line, " " & name & "=")
    If at = 0 Then Exit Function
    rest = Mid(line, at + Len(name) + 2)
    If Left(rest, 1) = """" Then
        Attribute = Mid(rest, 2, InStr(2, rest, """") - 2)
    Else
        Attribute = Split(Split(rest, " ")(0), ">")(0)
    End If
End Function

' A target without an extension gets ".htm"; the side folder holds the banner images.
Sub PageNameAndSideFolder()
    Dim e, page
    Set e = CreateObject("TarnwickExports7.Engine")
    e.Quiet = True
    e.SkipFieldSelection = True
    e.SkipFilenameSelection = True
    e.TargetFilename = RunFolder & "\report"
    Check "no extension: exported", True, e.ExportTable(HostGrid("a | b"), "HTML")
    Check "no extension gets .htm", RunFolder & "\report.htm", e.TargetFilename
    Check "page written", True, fso.FileExists(RunFolder & "\report.htm")
    Check "side folder Header.jpg", True, fso.FileExists(RunFolder & "\report_files\Header.jpg")
    Check "side folder Spacer.jpg", True, fso.FileExists(RunFolder & "\report_files\Spacer.jpg")
    page = ExportPage(HostGrid("a | b"), "named.html", "")
    Check ".html kept", True, fso.FileExists(RunFolder & "\named.html")
    Check "banner from the side folder", 1, Count(page, "src=""named_files/Header.jpg""")
End Sub

' A 2 x 2 block from (1,1) is one cell spanning both ways; the cells it covers are not written.
Sub MergedBlock()
    Dim page, line
    page = ExportPage(HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & _
        "h0 | h1 | h2 | h3" & vbLf & "a | top | c1 | d" & vbLf & "b | c2 | c3 | e" & vbLf & "f | g | h | i" & vbLf & _
        "@merge 1,1:2,2"), "merged", "")
    line = CellLine(page, "top")
    Check "block spans", True, InStr(line, " COLSPAN=2 ROWSPAN=2") > 0
    Check "block share is two columns'", "50%", Attribute(line, "width")
    Check "covered cells are not written", 0, Count(page, ">c1<") + Count(page, ">c2<") + Count(page, ">c3<")
    Check "cells in the table", 4 + 3 + 2 + 4, Count(TableOf(page), "<td ")
End Sub

' Columns narrower than the grid's Width: the table takes its pixels from Width and the
' cells' shares add up to less than 100 %.
Sub TableWidthFromTheGrid()
    Dim page, lines, i, total
    page = ExportPage(HostGrid("width = 7200" & vbLf & "---" & vbLf & "a | b | c" & vbLf & "1 | 2 | 3"), "wide", "")
    ' 1.3 x 7200 twips at 15 twips a pixel
    Check "table pixels from Width", True, InStr(TableOf(page), " width=624>") > 0
    lines = Split(TableOf(page), vbCrLf)
    total = 0
    For i = 0 To UBound(lines)
        If Left(lines(i), 4) = "<td " Then total = total + CLng(Replace(Attribute(lines(i), "width"), "%", ""))
    Next
    ' 104 of 624 pixels a column: 17 % each, 51 % a row
    Check "shares of one row", 51, total / 2
    page = ExportPage(HostGrid("a | b | c" & vbLf & "1 | 2 | 3"), "fitting", "")
    Check "without Width the columns fill the table", "33%", Attribute(CellLine(page, "2"), "width")
End Sub

' Hidden and flat rows, hidden and zero-width columns and columns outside ColumnList are
' left out; only written rows open a table row.
Sub LeftOutRowsAndColumns()
    Dim page, table, word
    page = ExportPage(HostGrid( _
        "h | hc | zc | out | k" & vbLf & "a | x1 | x2 | x3 | a2" & vbLf & "hiddenrow | x | x | x | x" & vbLf & _
        "flatrow | x | x | x | x" & vbLf & "b | x4 | x5 | x6 | b2" & vbLf & _
        "@col 1 hidden" & vbLf & "@col 2 width=0" & vbLf & "@row 2 hidden" & vbLf & "@row 3 height=0"), _
        "leftout", "0,1,2,4")
    table = TableOf(page)
    For Each word In Array("hc", "zc", "out", "x1", "x2", "x3", "x4", "x5", "x6", "hiddenrow", "flatrow")
        Check "left out: " & word, 0, Count(table, ">" & word & "<")
    Next
    For Each word In Array("h", "k", "a", "a2", "b", "b2")
        Check "written: " & word, 1, Count(table, ">" & word & "<")
    Next
    Check "table rows", 3, Count(table, "<tr")
End Sub

' Data cells of a Boolean column show Y or a blank, centred; its header shows its text.
Sub BooleanColumn()
    Dim page
    page = ExportPage(HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & "Name | Paid" & vbLf & "a | 2" & vbLf & _
        "b | 0" & vbLf & "@col 1 type=boolean"), "boolean", "")
    Check "header text", True, InStr(CellLine(page, "Paid</font>"), " ALIGN=CENTER") > 0
    Check "non-zero: Y, centred", True, InStr(CellLine(page, "Y"), " ALIGN=CENTER") > 0
    Check "zero: blank, centred", True, InStr(CellLine(page, "&nbsp;"), " ALIGN=CENTER") > 0
    Check "no raw values", 0, Count(TableOf(page), ">2<") + Count(TableOf(page), ">0<")
End Sub

' "<", ">" and "&" are escaped; an empty cell holds a non-breaking space.
Sub EscapesAndEmptyCells()
    Dim page
    page = ExportPage(HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & "x | y" & vbLf & "a<b>&c | "), "escapes", "")
    Check "escaped", True, CellLine(page, "a&lt;b&gt;&amp;c") <> ""
    Check "empty cell", True, CellLine(page, "&nbsp;") <> ""
    Check "nothing raw", 0, Count(page, "a<b>")
End Sub

' A cell with a font and a fore colour of its own gets one font tag carrying both.
Sub FontTag()
    Dim page
    page = ExportPage(HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & "x | y" & vbLf & "own | plain" & vbLf & _
        "@cell 1,0 font=Courier fore=#102030"), "fonts", "")
    Check "font and colour in one tag", True, _
          InStr(CellLine(page, "own</font>"), "><font FACE=""Courier"" COLOR=#102030>own</font></td>") > 0
    Check "one font tag", 1, Count(CellLine(page, "own</font>"), "<font")
    Check "plain cell has none", 0, Count(CellLine(page, "plain"), "<font")
End Sub

' General alignment (9) in a general column: numbers right, other text as it is; nothing
' in a date column whatever it holds; centred in a Boolean column.
Sub GeneralAlignment()
    Dim page
    page = ExportPage(HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & "n | d | b" & vbLf & _
        "1234.5 | 2024 | 2" & vbLf & "abc | 2024-03-01 | 0" & vbLf & _
        "@col 0 type=number" & vbLf & "@col 1 type=date" & vbLf & "@col 2 type=boolean"), "alignment", "")
    Check "number shown with separators, right", True, InStr(CellLine(page, "1,234.50"), " ALIGN=RIGHT") > 0
    Check "text in a number column", 0, InStr(CellLine(page, "abc"), "ALIGN")
    Check "number in a date column", 0, InStr(CellLine(page, "2024"), "ALIGN")
    Check "date", 0, InStr(CellLine(page, "2024-03-01"), "ALIGN")
    Check "Boolean", True, InStr(CellLine(page, "Y"), " ALIGN=CENTER") > 0
End Sub

' Two cells with the same picture: one GIF in the side folder, referred to twice.
Sub SharedCellPicture()
    Dim g, picture, page, file, gifs, name
    Set g = HostGrid("fixedcols = 0" & vbLf & "---" & vbLf & "p | q" & vbLf & " | one" & vbLf & " | two")
    Set picture = g.MakePicture(16, 16, &HFF)
    Set g.Cell(3, 1, 0) = picture
    Set g.Cell(3, 2, 0) = picture
    page = ExportPage(g, "pictures", "")
    gifs = 0
    For Each file In fso.GetFolder(RunFolder & "\pictures_files").Files
        If LCase(fso.GetExtensionName(file.Name)) = "gif" Then
            gifs = gifs + 1
            name = file.Name
        End If
    Next
    Check "one GIF", 1, gifs
    Check "referred to twice", 2, Count(page, "<img src=""pictures_files/" & name & """>")
End Sub

On Error Resume Next
PageNameAndSideFolder : Finished "page name and side folder"
MergedBlock : Finished "merged block"
TableWidthFromTheGrid : Finished "table width"
LeftOutRowsAndColumns : Finished "left-out rows and columns"
BooleanColumn : Finished "Boolean column"
EscapesAndEmptyCells : Finished "escapes and empty cells"
FontTag : Finished "font tag"
GeneralAlignment : Finished "general alignment"
SharedCellPicture : Finished "shared cell picture"
StopWatch
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
