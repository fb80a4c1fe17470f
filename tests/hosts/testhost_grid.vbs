' The test host's grid and chart as a VBScript host uses them: loading the text form and
' the sample grid, reading cells, GetMergedRange writing into script variables, the call
' counters and write log, load errors with their line, pictures, and the chart's copies.
Option Explicit

' ---- checks shared by the host scripts: failures print "FAIL: ...", the last line is the summary
Dim passed
Dim failed
passed = 0
failed = 0
Function Kind(v)
    Kind = TypeName(v)
    If IsObject(v) Then Kind = "Object"
    If InStr(" Byte Integer Long Single Double Currency Decimal ", " " & Kind & " ") > 0 Then Kind = "Number"
End Function
Function Shown(v)
    If IsObject(v) Then Shown = "<" & TypeName(v) & ">" Else Shown = "'" & v & "' (" & TypeName(v) & ")"
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

Dim Root
Root = Left(WScript.ScriptFullName, InStrRev(WScript.ScriptFullName, "\tests\hosts\") - 1)

Function NewGrid()
    Set NewGrid = CreateObject("ExportTestHost.Grid")
End Function

' The lines of a grid text (Wine's Join is a stub).
Function Lines(parts)
    Dim i
    Lines = parts(0)
    For i = 1 To UBound(parts)
        Lines = Lines & vbLf & parts(i)
    Next
End Function

Sub LoadsTextAndReadsCells()
    Dim g
    Set g = NewGrid()
    g.LoadFromText Lines(Array("fixedcols = 0", "---", "Name | Qty | Ok", "Apples | 1250 | yes", "Pears | 7.5 | no", _
                               "@col 1 type=number", "@col 2 type=boolean", "@cell 1,0 bold back=#FF0000 data=42"))
    Check "Rows", 3, g.Rows
    Check "Cols", 3, g.Cols
    Check "FixedRows", 1, g.FixedRows
    Check "FixedCols", 0, g.FixedCols
    Check "text", "Apples", g.Cell(0, 1, 0)
    Check "number as shown", "1,250.00", g.Cell(19, 1, 1)
    Check "Boolean as shown", "False", g.Cell(19, 2, 2)
    Check "bold", True, g.Cell(13, 1, 0)
    Check "back colour (OLE order)", &HFF&, g.Cell(6, 1, 0)
    Check "data value", 42, g.Cell(20, 1, 0)
    Check "ColDataType", 11, g.ColDataType(2)

    Dim r, c
    r = 2
    c = 0
    g.Cell(0, r, c) = "Quinces"
    Check "written through variables", "Quinces", g.Cell(0, 2, 0)
    g.Row = r
    g.Col = 1
    Check "CellTop", 480, g.CellTop
    Check "CellLeft", 1200, g.CellLeft
End Sub

Sub MergedRangeFillsScriptVariables()
    Dim g, r1, c1, r2, c2
    Set g = NewGrid()
    g.LoadFromText Lines(Array("rows = 4", "cols = 4", "---", "@merge 1,1:2,3"))
    g.GetMergedRange 2, 2, r1, c1, r2, c2
    Check "merged r1", 1, r1
    Check "merged c1", 1, c1
    Check "merged r2", 2, r2
    Check "merged c2", 3, c2
    Check "outputs are Longs", vbLong, VarType(r1)
    g.GetMergedRange 3, 0, r1, c1, r2, c2
    Check "unmerged cell is its own block", "3,0,3,0", r1 & "," & c1 & "," & r2 & "," & c2
End Sub

Sub SampleGridLoadsFromTheExamples()
    Dim g, p
    Set g = NewGrid()
    g.LoadFromFile Root & "\examples\sample-grid.txt"
    Check "sample rows", 10, g.Rows
    Check "sample header", "Amount", g.Cell(0, 0, 4)
    Check "sample hidden row", True, g.RowHidden(4)
    Check "sample zero-width column", 0, g.ColWidth(9)
    Check "sample outline level", 2, g.RowOutlineLevel(2)
    Set p = g.Cell(3, 2, 8)
    Check "sample picture cell holds a picture", True, IsObject(p)
    Check "both flag cells share one picture", True, (p Is g.Cell(3, 6, 8))
    Check "cell without picture", True, (g.Cell(3, 1, 8) Is Nothing)
    Set p = g.Picture
    Check "grid picture is a bitmap", 1, p.Type
    Check "grid picture is 597 pixels wide", 597, CLng(p.Width * 96 / 2540)
End Sub

Sub CountersAndWriteLog()
    Dim g, i, parts
    Set g = NewGrid()
    g.LoadFromText Lines(Array("a|b", "c|d"))
    g.ResetCounters
    For i = 1 To 3
        Check "cell " & i, "d", g.Cell(0, 1, 1)
    Next
    Check "CallCount in any case", 3, g.CallCount("CELL")
    Check "TotalCalls", 3, g.TotalCalls
    g.Redraw = False
    g.ColHidden(1) = True
    Set g.WallPaper = g.MakePicture(2, 2, &HFF&)
    Set g.WallPaper = Nothing
    g.Redraw = True
    parts = Split(g.WriteLog, vbCrLf)
    Check "log lines", 5, UBound(parts) + 1
    Check "log 1", "Redraw=False", parts(0)
    Check "log 2", "ColHidden(1)=True", parts(1)
    Check "log 3", "WallPaper=<picture>", parts(2)
    Check "log 4", "WallPaper=Nothing", parts(3)
    Check "log 5", "Redraw=True", parts(4)
    Check "counted the puts", 2, g.CallCount("Redraw")
    g.ResetCounters
    Check "reset log", "", g.WriteLog
    Check "reset counts", 0, g.TotalCalls
End Sub

Sub LoadErrorsNameTheLine()
    Dim g, number, description
    Set g = NewGrid()
    g.LoadFromText "x|y"
    On Error Resume Next
    g.LoadFromText Lines(Array("a|b", "@cell 0,1 blod"))
    number = Err.Number
    description = Err.Description
    Err.Clear
    On Error GoTo 0
    Check "load error raised", True, (number <> 0)
    Check "load error text", "text line 2: unknown cell attribute 'blod'", description
    Check "grid kept after a failed load", "y", g.Cell(0, 0, 1)
End Sub

Sub ChartCopiesAndLogs()
    Dim chart, fso, folder, path
    Set fso = CreateObject("Scripting.FileSystemObject")
    folder = fso.GetSpecialFolder(2) & "\testhost-vbs"
    If Not fso.FolderExists(folder) Then fso.CreateFolder folder
    path = folder & "\chart.bmp"
    Set chart = CreateObject("ExportTestHost.Chart")
    chart.DeskColor = &HFFFF&
    Check "bitmap copy answers True", True, chart.PEcopybitmaptofile(320, 200, path)
    Check "bitmap written", True, fso.FileExists(path)
    Check "bitmap size", CLng(54 + 320 * 3 * 200), CLng(fso.GetFile(path).Size)
    Check "call log", "PEcopybitmaptofile(320,200," & path & ") DeskColor=&H0000FFFF", chart.CallLog
    On Error Resume Next
    fso.DeleteFile path
    fso.DeleteFolder folder
    Err.Clear
End Sub

On Error Resume Next
LoadsTextAndReadsCells : Finished "text and cells"
MergedRangeFillsScriptVariables : Finished "merged range"
SampleGridLoadsFromTheExamples : Finished "sample grid"
CountersAndWriteLog : Finished "counters and write log"
LoadErrorsNameTheLine : Finished "load errors"
ChartCopiesAndLogs : Finished "chart"
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
