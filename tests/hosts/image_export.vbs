' Image export through the engine, end to end: the test host's chart, a metafile, an image
' file, a picture and the sample grid, each to every format it can be written in, quiet and
' without the save dialog. Files are recognised by their own bytes (signature and size),
' read through FileSystemObject since Wine's ADODB.Stream has no type library.
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
Dim fso
Set fso = CreateObject("Scripting.FileSystemObject")
Dim Folder
Folder = fso.GetSpecialFolder(2) & "\tarn-image-export-vbs"
If fso.FolderExists(Folder) Then fso.DeleteFolder Folder, True
fso.CreateFolder Folder
' Every file the script means to leave in Folder; anything else there was left behind.
Dim Expected
Set Expected = CreateObject("Scripting.Dictionary")
Expected.CompareMode = 1

Function NewEngine()
    Set NewEngine = CreateObject("TarnwickExports7.Engine")
    NewEngine.Quiet = True
    NewEngine.SkipFilenameSelection = True
    NewEngine.SkipFieldSelection = True
End Function

Function InFolder(name)
    InFolder = Folder & "\" & name
End Function

' ---- a file's bytes: ReadAll in ASCII mode gives one character per byte, which Asc turns back
Function FileText(path)
    Dim f
    FileText = ""
    If Not fso.FileExists(path) Then Exit Function
    Set f = fso.OpenTextFile(path, 1, False, 0)
    If Not f.AtEndOfStream Then FileText = f.ReadAll
    f.Close
End Function
Function ByteAt(s, offset)
    ByteAt = Asc(Mid(s, offset + 1, 1))
End Function
Function Le16(s, offset)
    Le16 = ByteAt(s, offset) + 256 * ByteAt(s, offset + 1)
End Function
Function Be16(s, offset)
    Be16 = 256 * ByteAt(s, offset) + ByteAt(s, offset + 1)
End Function

' The format a file's bytes show: png, gif, jpeg, bmp, tiff, emf, tga, "missing" or "unknown".
Function FormatOf(path)
    Dim s
    FormatOf = "missing"
    If Not fso.FileExists(path) Then Exit Function
    s = FileText(path)
    FormatOf = "unknown"
    If Len(s) < 18 Then Exit Function
    If Left(s, 4) = Chr(137) & "PNG" Then
        FormatOf = "png"
    ElseIf Left(s, 4) = "GIF8" Then
        FormatOf = "gif"
    ElseIf Left(s, 2) = Chr(255) & Chr(216) Then
        FormatOf = "jpeg"
    ElseIf Left(s, 2) = "BM" Then
        FormatOf = "bmp"
    ElseIf Left(s, 4) = "II*" & Chr(0) Or Left(s, 4) = "MM" & Chr(0) & "*" Then
        FormatOf = "tiff"
    ElseIf Len(s) > 44 And Mid(s, 41, 4) = " EMF" Then
        FormatOf = "emf"
    ElseIf ByteAt(s, 2) = 2 And ByteAt(s, 16) = 24 Then
        FormatOf = "tga"
    End If
End Function

' The width and height tags (256 and 257) of a TIFF file's first image.
Function TiffSize(s)
    Dim big, ifd, n, i, tag, at, width, height
    big = (Left(s, 2) = "MM")
    If big Then ifd = 65536 * Be16(s, 4) + Be16(s, 6) Else ifd = Le16(s, 4) + 65536 * Le16(s, 6)
    If big Then n = Be16(s, ifd) Else n = Le16(s, ifd)
    For i = 0 To n - 1
        at = ifd + 2 + 12 * i
        If big Then tag = Be16(s, at) Else tag = Le16(s, at)
        ' The value field holds a SHORT in its first two bytes; a LONG's low word is in its
        ' first two bytes little-endian and its last two big-endian.
        If big And Be16(s, at + 2) = 4 Then at = at + 10 Else at = at + 8
        If big Then
            If tag = 256 Then width = Be16(s, at)
            If tag = 257 Then height = Be16(s, at)
        Else
            If tag = 256 Then width = Le16(s, at)
            If tag = 257 Then height = Le16(s, at)
        End If
    Next
    TiffSize = width & "x" & height
End Function

' "WIDTHxHEIGHT" from the header of a PNG, GIF, BMP, TGA, TIFF or JPEG file; "?" for others.
Function SizeOf(path)
    Dim s, i, marker
    s = FileText(path)
    SizeOf = "?"
    Select Case FormatOf(path)
        Case "png": SizeOf = Be16(s, 18) & "x" & Be16(s, 22)
        Case "gif": SizeOf = Le16(s, 6) & "x" & Le16(s, 8)
        Case "bmp": SizeOf = Le16(s, 18) & "x" & Le16(s, 22)
        Case "tga": SizeOf = Le16(s, 12) & "x" & Le16(s, 14)
        Case "tiff": SizeOf = TiffSize(s)
        Case "jpeg"
            i = 2
            Do While i + 9 < Len(s)
                marker = ByteAt(s, i + 1)
                If marker >= &HC0 And marker <= &HC2 Then
                    SizeOf = Be16(s, i + 7) & "x" & Be16(s, i + 5)
                    Exit Do
                End If
                i = i + 2 + Be16(s, i + 2)
            Loop
    End Select
End Function

' Checks an export's answer, and the format and (unless "?") the size of the file it wrote.
Sub Exported(what, ok, name, format, size)
    Dim target
    target = InFolder(name)
    Check what & ": result", True, ok
    Check what & ": format", format, FormatOf(target)
    If size <> "?" Then Check what & ": size", size, SizeOf(target)
    Expected(name) = True
End Sub

' ---- the groups

Dim Chart
Set Chart = CreateObject("ExportTestHost.Chart")
Chart.DeskColor = &H80FF80

Sub ChartToEveryFormat()
    Dim engine, methods, m, name, lines, size
    Set engine = NewEngine()
    Chart.ClearLog
    ' Method, file, format; the chart is 7200 x 4800 twips: 480 x 320 pixels.
    methods = Array(Array("PNG", "chart.png", "png"), Array("GIF", "chart.gif", "gif"), _
                    Array("JPEG", "chart.jpg", "jpeg"), Array("BMP", "chart.bmp", "bmp"), _
                    Array("TGA", "chart.tga", "tga"), Array("TIFF", "chart.tif", "tiff"), _
                    Array("EMF", "chart.emf", "emf"))
    For Each m In methods
        engine.TargetFilename = InFolder(m(1))
        size = "480x320"
        If m(2) = "emf" Then size = "?"
        Exported "chart " & m(0), engine.ExportChart(Chart, m(0)), m(1), m(2), size
        Check "chart " & m(0) & ": DeskColor afterwards", &H80FF80, Chart.DeskColor
    Next
    lines = Split(Chart.CallLog, vbCrLf)
    Check "one drawing per format", 7, UBound(lines) + 1
    For Each name In lines
        Check "drawn on white: " & name, "DeskColor=&H00FFFFFF", Mid(name, InStrRev(name, " ") + 1)
    Next
    Check "the engine keeps its own sizes", 0, engine.ImageWidth

    engine.TargetFilename = InFolder("chart.wmf")
    Check "chart to a Windows metafile", False, engine.ExportChart(Chart, "IMAGE")
    Check "no chart.wmf", False, fso.FileExists(InFolder("chart.wmf"))
    Check "DeskColor after the refusal", &H80FF80, Chart.DeskColor

    ' With sizes of its own, the chart is drawn at them.
    engine.ImageWidth = 200
    engine.ImageHeight = 150
    engine.TargetFilename = InFolder("chart-small.gif")
    Exported "sized chart", engine.ExportChart(Chart, "GIF"), "chart-small.gif", "gif", "200x150"
End Sub

Sub MetafileToEveryFormat()
    Dim engine, source, m, whole, copy
    Set engine = NewEngine()
    source = InFolder("chart.emf")
    Check "the chart's metafile is there to convert", "emf", FormatOf(source)
    For Each m In Array(Array("PNG", "meta.png", "png"), Array("GIF", "meta.gif", "gif"), _
                        Array("JPG", "meta.jpg", "jpeg"), Array("BMP", "meta.bmp", "bmp"), _
                        Array("TGA", "meta.tga", "tga"), Array("TIF", "meta.tif", "tiff"))
        engine.TargetFilename = InFolder(m(1))
        Exported "metafile " & m(0), engine.ExportEMFFile(source, m(0)), m(1), m(2), "480x320"
    Next
    engine.ImageWidth = 96
    engine.ImageHeight = 64
    engine.TargetFilename = InFolder("meta-sized.png")
    Exported "metafile at a size", engine.ExportEMFFile(source, "PNG"), "meta-sized.png", "png", "96x64"

    ' Metafile targets are copies of the source, byte for byte.
    whole = FileText(source)
    Check "the whole metafile is read", CLng(fso.GetFile(source).Size), CLng(Len(whole))
    Check "read as bytes: the header record comes first", 1, ByteAt(whole, 0)
    For Each m In Array("copy.emf", "copy.wmf")
        engine.TargetFilename = InFolder(m)
        Check m & ": result", True, engine.ExportEMFFile(source, "EMF")
        copy = FileText(InFolder(m))
        Check m & ": same length", Len(whole), Len(copy)
        Check m & ": same bytes", True, (copy = whole)
        Expected(m) = True
    Next
    Check "a different file compares different", False, (FileText(InFolder("meta.bmp")) = whole)
End Sub

Sub ImageFileToEveryFormat()
    Dim engine, source, m
    Set engine = NewEngine()
    source = Root & "\tests\data\images\sample-40x30.png"
    For Each m In Array(Array("PNG", "file.png", "png"), Array("GIF", "file.gif", "gif"), _
                        Array("JPEG", "file.jpeg", "jpeg"), Array("BMP", "file.bmp", "bmp"), _
                        Array("TGA", "file.tga", "tga"), Array("TIFF", "file.tiff", "tiff"))
        engine.TargetFilename = InFolder(m(1))
        Exported "image file " & m(0), engine.ExportImageFile(source, m(0)), m(1), m(2), "40x30"
    Next
    engine.ImageWidth = 20
    engine.ImageHeight = 15
    engine.TargetFilename = InFolder("file-small.bmp")
    Exported "image file resampled", engine.ExportImageFile(source, "BMP"), "file-small.bmp", "bmp", "20x15"
    engine.ImageHeight = 0
    engine.TargetFilename = InFolder("file-one-side.bmp")
    Exported "one size alone", engine.ExportImageFile(source, "BMP"), "file-one-side.bmp", "bmp", "40x30"

    ' No extension: written as GIF under the name with ".gif" added.
    engine.TargetFilename = InFolder("report")
    Check "report: result", True, engine.ExportImageFile(source, "IMAGE")
    Check "report: the name the engine used", InFolder("report.gif"), engine.TargetFilename
    Check "report: GIF", "gif", FormatOf(InFolder("report.gif"))
    Check "report: nothing under the bare name", False, fso.FileExists(InFolder("report"))
    Expected("report.gif") = True
    engine.TargetFilename = InFolder("report.TIFF")
    Check "report.TIFF: result", True, engine.ExportImageFile(source, "IMAGE")
    Check "report.TIFF: TIFF", "tiff", FormatOf(InFolder("report.TIFF"))
    Expected("report.TIFF") = True
End Sub

Sub PictureToEveryFormat()
    Dim engine, grid, picture, m
    Set engine = NewEngine()
    Set grid = CreateObject("ExportTestHost.Grid")
    Set picture = grid.MakePicture(64, 24, &HFF8000)
    For Each m In Array(Array("PNG", "picture.png", "png"), Array("GIF", "picture.gif", "gif"), _
                        Array("JPG", "picture.jpg", "jpeg"), Array("BMP", "picture.bmp", "bmp"), _
                        Array("TGA", "picture.tga", "tga"), Array("TIF", "picture.tif", "tiff"))
        engine.TargetFilename = InFolder(m(1))
        Exported "picture " & m(0), engine.ExportPicture(picture, m(0)), m(1), m(2), "64x24"
    Next
    For Each m In Array("picture.wmf", "picture.emf")
        engine.TargetFilename = InFolder(m)
        Check m & " is refused", False, engine.ExportPicture(picture, "IMAGE")
        Check m & " is not written", False, fso.FileExists(InFolder(m))
    Next
End Sub

Sub TableToEveryFormat()
    Dim engine, grid, m, picture, size
    Set engine = NewEngine()
    Set grid = CreateObject("ExportTestHost.Grid")
    grid.LoadFromFile Root & "\examples\sample-grid.txt"
    Set picture = grid.Picture
    size = CLng(picture.Width * 96 / 2540) & "x" & CLng(picture.Height * 96 / 2540)
    Check "the sample grid's picture", "597x", Left(size, 4)
    For Each m In Array(Array("PNG", "grid.png", "png"), Array("GIF", "grid.gif", "gif"), _
                        Array("JPG", "grid.jpg", "jpeg"), Array("BMP", "grid.bmp", "bmp"), _
                        Array("TGA", "grid.tga", "tga"), Array("TIF", "grid.tif", "tiff"))
        engine.TargetFilename = InFolder(m(1))
        Exported "table " & m(0), engine.ExportTable(grid, m(0)), m(1), m(2), size
    Next
    engine.TargetFilename = InFolder("grid.emf")
    Check "table to a metafile is refused", False, engine.ExportTable(grid, "EMF")
    Check "no grid.emf", False, fso.FileExists(InFolder("grid.emf"))
    Check "the grid is back at its first cell", "0,0", grid.Row & "," & grid.Col
End Sub

Sub NothingLeftBehind()
    Dim f, extra
    extra = ""
    For Each f In fso.GetFolder(Folder).Files
        If Not Expected.Exists(f.Name) Then extra = extra & " " & f.Name
    Next
    Check "files nobody asked for (temporary bitmaps)", "", extra
End Sub

On Error Resume Next
ChartToEveryFormat : Finished "chart"
MetafileToEveryFormat : Finished "metafile"
ImageFileToEveryFormat : Finished "image file"
PictureToEveryFormat : Finished "picture"
TableToEveryFormat : Finished "table"
NothingLeftBehind : Finished "nothing left behind"
fso.DeleteFolder Folder, True
Err.Clear
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
