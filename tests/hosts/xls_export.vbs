' Workbooks from VBScript: the engine's "xls" method on the test host's grid, and ExportXLS's
' own ShowInExcel property. What the cells hold, and failures, are checked with xlrd in
' tests/win/export_xls_test.cpp.

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

On Error Resume Next
WorkbookThroughTheEngine : Finished "workbook through the engine"
ShowInExcelProperty : Finished "ShowInExcel property"
Done
