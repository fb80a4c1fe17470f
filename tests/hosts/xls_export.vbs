' Workbooks from VBScript: the engine's "xls" method on the test host's grid, ExportXLS's own
' ShowInExcel property, and a script grid that raises half-way, which leaves no file. What
' the cells hold is read with xlrd in tests/win/export_xls_test.cpp.

' A grid of two rows whose RowHeight raises for the second; it records its Redraw writes.
Dim FilesBefore

Class BrokenGrid
    Public Log
    Private Sub Class_Initialize()
        Log = ""
    End Sub
    Public Property Get Rows()
        Rows = 2
    End Property
    Public Property Get Cols()
        Cols = 1
    End Property
    Public Property Get FixedRows()
        FixedRows = 1
    End Property
    Public Property Get FixedCols()
        FixedCols = 0
    End Property
    Public Property Get BackColorFixed()
        BackColorFixed = &H8000000F
    End Property
    Public Property Get ColWidth(c)
        ColWidth = 1200
    End Property
    Public Property Get ColAlignment(c)
        ColAlignment = 9
    End Property
    Public Property Get ColDataType(c)
        ColDataType = 8
    End Property
    Public Property Get RowHeight(r)
        If r = 1 Then Err.Raise 1001, "BrokenGrid", "the second row is gone"
        RowHeight = 240
    End Property
    Public Property Get RowHidden(r)
        RowHidden = False
    End Property
    Public Property Get Cell(setting, r, c)
        Select Case setting
            Case 0: Cell = "Name"
            Case 11: Cell = "Arial"
            Case 12: Cell = 10
            Case Else: Cell = 0
        End Select
    End Property
    Public Property Let Redraw(v)
        Log = Log & "Redraw=" & v & ";"
    End Property
End Class

Sub WorkbookThroughTheEngine()
    Dim e, g, bytes
    Set g = CreateObject("ExportTestHost.Grid")
    g.LoadFromText "Item | Price" & vbLf & "Tea | 4.50" & vbLf & "Cups | 12"
    Set e = QuietEngine(RunFolder & "\stock")
    e.SkipFieldSelection = True
    e.Title = "Stock list"
    Check "XLS export", True, e.ExportTable(g, "xls")
    Check "a workbook named with .xls", RunFolder & "\stock.xls", e.TargetFilename
    bytes = ReadText(e.TargetFilename, 0)
    Check "a compound file", "D0CF11E0", Hex(Asc(Mid(bytes, 1, 1))) & Hex(Asc(Mid(bytes, 2, 1))) & _
        Hex(Asc(Mid(bytes, 3, 1))) & Hex(Asc(Mid(bytes, 4, 1)))
End Sub

Sub ShowInExcelProperty()
    Dim x, shown
    Set x = CreateObject("TarnwickExports7.ExportXLS")
    Check "ShowInExcel starts False", False, x.ShowInExcel
    shown = True
    x.ShowInExcel = shown
    Check "ShowInExcel kept", True, x.ShowInExcel
End Sub

Sub FailingGridLeavesNothing()
    Dim e, g
    Set g = New BrokenGrid
    Set e = QuietEngine(RunFolder & "\broken.xls")
    e.SkipFieldSelection = True
    e.ColumnList = "0"
    Check "the export fails", False, e.ExportTable(g, "XLS")
    Check "no file left behind", False, fso.FileExists(RunFolder & "\broken.xls")
    Check "no temporary file either", 0, fso.GetFolder(RunFolder).Files.Count - FilesBefore
    Check "the grid paints again", "Redraw=True;", g.Log
End Sub

On Error Resume Next
WorkbookThroughTheEngine : Finished "workbook through the engine"
ShowInExcelProperty : Finished "ShowInExcel property"
FilesBefore = fso.GetFolder(RunFolder).Files.Count
FailingGridLeavesNothing : Finished "failing grid leaves nothing"
Done
