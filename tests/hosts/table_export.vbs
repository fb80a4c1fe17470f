' ExportTable from VBScript. Grids written as VBScript classes hand the engine every kind of
' value a script produces (String, Integer, Empty, objects and Nothing) and record what the
' engine and the exporter write to them. The field rules byte for byte, the tab-separated
' file and the HTML table are in tests/unit/delimited_text_test.cpp and tests/win.
Dim TARGET, Paper
TARGET = RunFolder & "\table"
Set Paper = CreateObject("Scripting.Dictionary")   ' a grid's wallpaper, and a cell's picture

' Cells: texts, a number, check boxes (5), a picture with its data value (3, 20), Empty elsewhere;
' the third row has a negative height.
Class ScriptGrid
    Public ColCount
    Public Log
    Public WallPaperNow
    Private Sub Class_Initialize()
        ColCount = 4
        Log = ""
        Set WallPaperNow = Paper
    End Sub
    Public Property Get Rows()
        Rows = 3
    End Property
    Public Property Get Cols()
        Cols = ColCount
    End Property
    Public Property Get RowHeight(r)
        If r = 2 Then RowHeight = -15 Else RowHeight = 240   ' a flat row, left out
    End Property
    Public Property Get RowHidden(r)
        RowHidden = False
    End Property
    Public Property Get Cell(setting, r, c)
        Select Case setting & " " & r & " " & c
            Case "0 0 0": Cell = "a,b"
            Case "0 0 1": Cell = "say ""hi"""
            Case "0 0 3": Cell = 42
            Case "5 1 0": Cell = 1
            Case "5 1 1": Cell = 2
            Case "3 1 2": Set Cell = Paper
            Case "20 1 2": Cell = 4711
            Case "3 1 3": Set Cell = Nothing
            Case "0 1 3": Cell = "x y"
            Case "0 2 0": Cell = "flat"
        End Select
    End Property
    Public Property Get Redraw()
        Redraw = True
    End Property
    Public Property Let Redraw(v)
        Log = Log & "Redraw=" & v & ";"
    End Property
    Public Property Get WallPaper()
        Log = Log & "WallPaper?;"
        Set WallPaper = WallPaperNow
    End Property
    Public Property Set WallPaper(picture)
        Log = Log & "WallPaper=" & IsObject(picture) & (picture Is Nothing) & ";"
        Set WallPaperNow = picture
    End Property
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
End Class

Function NewGrid(columns)
    Set NewGrid = New ScriptGrid
    NewGrid.ColCount = columns
End Function

' A delimited file without its first two lines (the date line and "#").
Function RowsOf(path)
    RowsOf = ReadText(path, 0)
    RowsOf = Mid(RowsOf, InStr(InStr(RowsOf, vbCrLf) + 2, RowsOf, vbCrLf) + 2)
End Function

Sub DelimitedFiles()
    Dim e, g
    Set g = NewGrid(4)
    Set e = QuietEngine(TARGET)
    e.SkipFieldSelection = True
    Check "CSV export", True, e.ExportTable(g, "CSV")
    Check "CSV file name read back", TARGET & ".csv", e.TargetFilename
    Check "CSV rows", """a,b"",""say hi"",,42" & vbCrLf & "Yes,No,""4711"",""x y""" & vbCrLf, RowsOf(TARGET & ".csv")
    Check "the grid's writes, in order", "WallPaper?;WallPaper=TrueFalse;Redraw=False;Redraw=True;WallPaper=TrueFalse;", g.Log
    Check "the grid has its own wallpaper back", Paper, g.WallPaperNow
    e.ColumnList = "7"
    Check "a column list naming no column", True, e.ExportTable(g, "CSV")
    Check "gives empty lines", vbCrLf & vbCrLf, RowsOf(e.TargetFilename)
    Set g = NewGrid(1)
    Set g.WallPaperNow = Nothing
    Check "a grid without wallpaper", True, e.ExportTable(g, "CSV")
    Check "gets a stand-in while exporting, and Nothing back", "WallPaper?;WallPaper=TrueFalse;Redraw=False;Redraw=True;WallPaper=TrueTrue;", g.Log
End Sub

' This grid offers nothing to choose, so field selection takes every column without a window.
Sub ColumnsAndMethod()
    Dim e, g, r
    Set e = QuietEngine(TARGET)
    Set g = NewGrid(3)
    r = e.ExportTable(g, "DOCX")
    Check "field selection on: each column in its own commas, even for an unknown method", ",0,,1,,2,", e.ColumnList
    Check "an unknown method leaves the grid alone", "", g.Log
    e.SkipFieldSelection = True
    e.ColumnList = ""
    r = e.ExportTable(g, "DOCX")
    Check "field selection skipped: every column", ",0,1,2,", e.ColumnList
    e.ColumnList = "2"
    r = e.ExportTable(g, "DOCX")
    Check "field selection skipped: the host's list stays", ",2,", e.ColumnList
    r = e.ExportTable(g, "")
    Check "no method: SelectMethod on, columns chosen again", "True ,0,,1,,2,", e.SelectMethod & " " & e.ColumnList
    Set g = NewGrid(0)
    Check "no columns: nothing exported, grid untouched", "False  ", e.ExportTable(g, "CSV") & " " & e.ColumnList & " " & g.Log
    Set e = QuietEngine("")
    r = e.ExportTable(NewGrid(2), "DOCX")
    Check "no target clears SkipFilenameSelection", False, e.SkipFilenameSelection
End Sub

' Grids missing members or failing in them, and Nothing, never make ExportTable raise.
Sub GridsThatFail()
    Dim e, grid, r, pass
    For pass = 1 To 2
        Set e = QuietEngine(TARGET)
        If pass = 2 Then e.SkipFieldSelection = True
        If pass = 2 Then e.ColumnList = "0,1"
        For Each grid In Array(New NoMembers, New FailingGrid, Nothing)
            r = "raised"
            On Error Resume Next
            r = e.ExportTable(grid, "CSV")
            On Error GoTo 0
            Check "pass " & pass & ": a grid without members, failing in them, or Nothing", False, r
        Next
    Next
End Sub

On Error Resume Next
DelimitedFiles : Finished "delimited files"
ColumnsAndMethod : Finished "columns and method"
GridsThatFail : Finished "grids that fail"
Done
