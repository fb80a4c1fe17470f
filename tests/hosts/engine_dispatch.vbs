' How the engine turns a method name into an exporter, seen through the options it
' updates: ImageFormat, FileFormat, SkipFilenameSelection and TargetFilename, for the
' seven non-table export operations and SendTo.
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

Const TARGET = "Z:\tmp\tarnwick-host-tests\result.out"
Dim Operations
Operations = Array("Chart", "Map", "Picture", "EMFFile", "ImageFile", "RTF", "Text")
Dim SetIfEmptyOperations
SetIfEmptyOperations = Array("Chart", "Map", "Picture", "EMFFile", "ImageFile")
Dim ImageNames
ImageNames = Array("EMF", "GIF", "BMP", "TIF", "TIFF", "PNG", "TGA", "JPG", "JPEG")
Dim PrinterNames
PrinterNames = Array("PREVIEW", "PRINTER")
Dim KnownNames
KnownNames = Array("CSV", "CDF", "TXT", "TEXT", "RTF", "HTML", "HTM", "MHTML", "XLS", "EXCEL", "PDF", _
                   "PREVIEW", "PRINTER", "EMF", "GIF", "BMP", "TIF", "TIFF", "PNG", "TGA", "JPG", "JPEG", "IMAGE")
Dim UnknownNames
UnknownNames = Array("DOCX", "", "CSV ", " CSV", "CS", "CSVX", "PNGX", "JP", "XLSX", "PRINT", "IMAGES", _
                     "CSV" & Chr(0) & "X", "PDF" & Chr(0))

Dim Subject
Set Subject = CreateObject("Scripting.Dictionary")

Function NewEngine()
    Set NewEngine = CreateObject("TarnwickExports7.Engine")
End Function

' Runs one of the non-table operations by name with a stand-in argument.
Function Run(e, operation, method)
    Select Case operation
        Case "Chart": Run = e.ExportChart(Subject, method)
        Case "Map": Run = e.ExportMap(Subject, method)
        Case "Picture": Run = e.ExportPicture(Subject, method)
        Case "EMFFile": Run = e.ExportEMFFile("Z:\tmp\tarnwick-host-tests\in.emf", method)
        Case "ImageFile": Run = e.ExportImageFile("Z:\tmp\tarnwick-host-tests\in.png", method)
        Case "RTF": Run = e.ExportRTF("{\rtf1 x}", method)
        Case "Text": Run = e.ExportText("plain text", method)
        Case Else: Err.Raise 5, , "no operation " & operation
    End Select
End Function

Function IsIn(name, list)
    Dim item
    IsIn = False
    For Each item In list
        If StrComp(item, name, vbTextCompare) = 0 Then IsIn = True
    Next
End Function

Function Spellings(name)
    Spellings = Array(name, LCase(name), UCase(Left(name, 1)) & LCase(Mid(name, 2)))
End Function

' Every known name, in any case, on every operation: the result is False (no exporter
' produces output yet), FileFormat takes the name as written, an image name becomes the
' ImageFormat as written, and only the printer forgets the target file.
Sub KnownNamesOnEveryOperation()
    Dim name, spelled, operation, e, r, what
    For Each name In KnownNames
        For Each spelled In Spellings(name)
            For Each operation In Operations
                Set e = NewEngine()
                e.TargetFilename = TARGET
                e.ImageFormat = "preset"
                r = Run(e, operation, spelled)
                what = "Export" & operation & "(" & spelled & ") "
                Check what & "result", False, r
                Check what & "FileFormat", spelled, e.FileFormat
                If IsIn(name, ImageNames) Then
                    Check what & "ImageFormat", spelled, e.ImageFormat
                Else
                    Check what & "ImageFormat", "preset", e.ImageFormat
                End If
                If IsIn(name, PrinterNames) Then
                    Check what & "TargetFilename", "", e.TargetFilename
                Else
                    Check what & "TargetFilename", TARGET, e.TargetFilename
                End If
            Next
        Next
    Next
End Sub

Sub UnknownNamesChangeNothing()
    Dim name, operation, e, r, what
    For Each name In UnknownNames
        For Each operation In Operations
            Set e = NewEngine()
            e.TargetFilename = TARGET
            e.ImageFormat = "preset"
            e.SkipFilenameSelection = True
            r = Run(e, operation, name)
            what = "Export" & operation & "(unknown '" & Replace(name, Chr(0), "<NUL>") & "') "
            Check what & "result", False, r
            Check what & "FileFormat", "", e.FileFormat
            Check what & "ImageFormat", "preset", e.ImageFormat
            Check what & "TargetFilename", TARGET, e.TargetFilename
            Check what & "SkipFilenameSelection", True, e.SkipFilenameSelection
        Next
    Next
    Set e = NewEngine()
    e.FileFormat = "CSV"
    r = e.ExportText("x", "DOCX")
    Check "ExportText(DOCX) keeps FileFormat", "CSV", e.FileFormat
    r = e.ExportRTF("x", "")
    Check "ExportRTF('') keeps FileFormat", "CSV", e.FileFormat
End Sub

Sub FileFormatRules()
    Dim operation, e, r
    For Each operation In SetIfEmptyOperations
        Set e = NewEngine()
        r = Run(e, operation, "png")
        Check "Export" & operation & "(png) on empty FileFormat: FileFormat", "png", e.FileFormat
        Check "Export" & operation & "(png) on empty FileFormat: ImageFormat", "png", e.ImageFormat
        e.FileFormat = "XLS"
        r = Run(e, operation, "Pdf")
        Check "Export" & operation & "(Pdf) keeps a FileFormat already set", "XLS", e.FileFormat
        r = Run(e, operation, "GIF")
        Check "Export" & operation & "(GIF) keeps FileFormat", "XLS", e.FileFormat
        Check "Export" & operation & "(GIF) still names the ImageFormat", "GIF", e.ImageFormat
    Next
    For Each operation In Array("RTF", "Text")
        Set e = NewEngine()
        e.FileFormat = "CSV"
        r = Run(e, operation, "RTF")
        Check "Export" & operation & "(RTF) replaces FileFormat CSV", "RTF", e.FileFormat
        r = Run(e, operation, "html")
        Check "Export" & operation & "(html) replaces FileFormat RTF", "html", e.FileFormat
    Next

    Set e = NewEngine()
    e.ImageFormat = "BMP"
    r = e.ExportChart(Subject, "Image")
    Check "IMAGE leaves ImageFormat", "BMP", e.ImageFormat
    Check "IMAGE still sets an empty FileFormat", "Image", e.FileFormat
End Sub

Sub SkipFilenameSelectionNeedsATarget()
    Dim operation, method, e, r
    For Each operation In Operations
        For Each method In Array("CSV", "PNG", "PRINTER", "DOCX", "")
            Set e = NewEngine()
            e.SkipFilenameSelection = True
            r = Run(e, operation, method)
            Check "Export" & operation & "(" & method & ") without a target clears SkipFilenameSelection", _
                  False, e.SkipFilenameSelection
        Next
        Set e = NewEngine()
        e.SkipFilenameSelection = True
        e.TargetFilename = TARGET
        r = Run(e, operation, "CSV")
        Check "Export" & operation & "(CSV) with a target keeps SkipFilenameSelection", True, e.SkipFilenameSelection
    Next

    ' The printer forgets the target; the next export then has none.
    Set e = NewEngine()
    e.TargetFilename = TARGET
    e.SkipFilenameSelection = True
    r = e.ExportText("x", "PRINTER")
    Check "after PRINTER: TargetFilename", "", e.TargetFilename
    Check "after PRINTER: SkipFilenameSelection", True, e.SkipFilenameSelection
    r = e.ExportText("x", "CSV")
    Check "next export without a target: SkipFilenameSelection", False, e.SkipFilenameSelection
    Check "next export without a target: TargetFilename", "", e.TargetFilename
End Sub

' Only ImageFormat, FileFormat, SkipFilenameSelection and TargetFilename may move.
Sub OtherOptionsSurviveExports()
    Dim operation, e, r, what
    For Each operation In Operations
        Set e = NewEngine()
        e.ProgramName = "Host"
        e.ProgramVersion = "2.5"
        e.Title = "Title"
        e.SubTitle = "Sub"
        e.Paragraph = "Para"
        e.Footer = "Foot"
        e.Orientation = 1
        e.ImageHeight = 300
        e.ImageWidth = 400
        e.InitDir = "Z:\tmp"
        e.ColumnList = "1,2"
        e.SelectMethod = False
        e.SkipFieldSelection = True
        e.Quiet = True
        e.DefaultPrinter = "Laser"
        r = Run(e, operation, "HTML")
        r = Run(e, operation, "")
        what = "after Export" & operation & ": "
        Check what & "ProgramName", "Host", e.ProgramName
        Check what & "ProgramVersion", "2.5", e.ProgramVersion
        Check what & "Title", "Title", e.Title
        Check what & "SubTitle", "Sub", e.SubTitle
        Check what & "Paragraph", "Para", e.Paragraph
        Check what & "Footer", "Foot", e.Footer
        Check what & "Orientation", 1, e.Orientation
        Check what & "ImageHeight", 300, e.ImageHeight
        Check what & "ImageWidth", 400, e.ImageWidth
        Check what & "InitDir", "Z:\tmp", e.InitDir
        Check what & "ColumnList", ",1,2,", e.ColumnList
        Check what & "SelectMethod (even for an empty method)", False, e.SelectMethod
        Check what & "SkipFieldSelection", True, e.SkipFieldSelection
        Check what & "Quiet", True, e.Quiet
        Check what & "DefaultPrinter", "Laser", e.DefaultPrinter
    Next
End Sub

Sub ArgumentsComeBackUnchanged()
    Dim e, r, method, chart, path, n
    Set e = NewEngine()
    method = "png"
    Set chart = Subject
    r = e.ExportChart(chart, method)
    Check "method variable after ExportChart", "png", method
    Check "chart variable after ExportChart", Subject, chart
    path = "Z:\tmp\in.emf"
    method = "EMF"
    r = e.ExportEMFFile(path, method)
    Check "path variable after ExportEMFFile", "Z:\tmp\in.emf", path
    Check "method variable after ExportEMFFile", "EMF", method

    On Error Resume Next
    r = e.ExportChart(Nothing, "CSV")
    r = e.ExportMap(Nothing, "CSV")
    r = e.ExportPicture(Nothing, "PNG")
    n = Err.Number
    Err.Clear
    On Error GoTo 0
    Check "Nothing as the chart, map or picture raises no error", 0, n
End Sub

Sub SendToDeliversNothing()
    Dim e, r
    Set e = NewEngine()
    e.TargetFilename = TARGET
    e.SkipFilenameSelection = True
    r = e.SendTo("Z:\tmp\report.pdf", "MAIL")
    Check "SendTo result", False, r
    Check "SendTo leaves FileFormat", "", e.FileFormat
    Check "SendTo leaves TargetFilename", TARGET, e.TargetFilename
    Check "SendTo leaves SkipFilenameSelection", True, e.SkipFilenameSelection
End Sub

On Error Resume Next
KnownNamesOnEveryOperation : Finished "known method names"
UnknownNamesChangeNothing : Finished "unknown method names"
FileFormatRules : Finished "FileFormat rules"
SkipFilenameSelectionNeedsATarget : Finished "SkipFilenameSelection"
OtherOptionsSurviveExports : Finished "options kept across exports"
ArgumentsComeBackUnchanged : Finished "arguments"
SendToDeliversNothing : Finished "SendTo"
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
