' Image files through the engine, one export per kind of input a script hands over: the
' test host's chart, a picture object held in a script variable, a metafile and an image
' file named by a path, and the grid's picture. Each file is recognised by its own bytes;
' the formats and sizes in full are in tests/win/export_image_test.cpp.
' "format WIDTHxHEIGHT" from a PNG, GIF or BMP header (ReadAll in ANSI mode gives a character a byte).
Function Shape(path)
    Dim s
    s = ReadText(path, 0)
    Shape = "unknown"
    If Left(s, 4) = Chr(137) & "PNG" Then Shape = "png " & (256 * Asc(Mid(s, 19, 1)) + Asc(Mid(s, 20, 1))) & "x" & (256 * Asc(Mid(s, 23, 1)) + Asc(Mid(s, 24, 1)))
    If Left(s, 4) = "GIF8" Then Shape = "gif " & (Asc(Mid(s, 7, 1)) + 256 * Asc(Mid(s, 8, 1))) & "x" & (Asc(Mid(s, 9, 1)) + 256 * Asc(Mid(s, 10, 1)))
    If Left(s, 2) = "BM" Then Shape = "bmp " & (Asc(Mid(s, 19, 1)) + 256 * Asc(Mid(s, 20, 1))) & "x" & (Asc(Mid(s, 23, 1)) + 256 * Asc(Mid(s, 24, 1)))
End Function

Sub EachKindOfInput()
    Dim e, picture, root, chart, host
    Set chart = CreateObject("ExportTestHost.Chart")
    Set host = CreateObject("ExportTestHost.Grid")
    root = fso.GetParentFolderName(fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)))
    Set e = QuietEngine(RunFolder & "\chart.png")
    e.SkipFieldSelection = True
    chart.DeskColor = &H80FF80
    Check "chart as PNG", True, e.ExportChart(chart, "png")
    Check "chart: the name read back", RunFolder & "\chart.png", e.TargetFilename
    Check "chart: 7200 x 4800 twips", "png 480x320", Shape(e.TargetFilename)
    Check "chart: DeskColor put back", &H80FF80, chart.DeskColor
    Check "chart: ImageFormat and FileFormat as written", "png png", e.ImageFormat & " " & e.FileFormat
    Set picture = host.MakePicture(64, 24, &HFF8000)
    e.TargetFilename = RunFolder & "\picture.bmp"
    Check "picture as BMP", "True bmp 64x24", e.ExportPicture(picture, "BMP") & " " & Shape(RunFolder & "\picture.bmp")
    Check "metafile from the chart", True, chart.PEcopymetatofile(64, 48, RunFolder & "\in.emf")
    e.TargetFilename = RunFolder & "\meta.gif"
    e.ImageWidth = 96
    e.ImageHeight = 64
    Check "metafile as GIF at a size", "True gif 96x64", e.ExportEMFFile(RunFolder & "\in.emf", "GIF") & " " & Shape(RunFolder & "\meta.gif")
    e.TargetFilename = RunFolder & "\file"
    Check "image file with no extension: GIF", True, e.ExportImageFile(root & "\tests\data\images\sample-40x30.png", "IMAGE")
    Check "image file: resampled, named with .gif", "gif 96x64", Shape(RunFolder & "\file.gif")
    host.LoadFromText "a | b" & vbLf & "1 | 2"
    e.ImageWidth = 0
    e.TargetFilename = RunFolder & "\grid.png"
    Check "table as PNG", True, e.ExportTable(host, "PNG")
    Check "table: the grid's picture", "png " & CLng(host.Picture.Width * 96 / 2540) & "x" & CLng(host.Picture.Height * 96 / 2540), Shape(RunFolder & "\grid.png")
End Sub

On Error Resume Next
EachKindOfInput : Finished "each kind of input"
Done
