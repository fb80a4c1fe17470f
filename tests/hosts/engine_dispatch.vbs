' How the engine turns a method name into an exporter, seen through the options it
' updates: ImageFormat, FileFormat, SkipFilenameSelection and TargetFilename, for the
' seven non-table export operations and SendTo. The rules are shown with exporters that do
' not serve the operation (they return False at once) and with unknown names; where an
' exporter does serve it, the export runs quietly into this run's folder.
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

MakeRunFolder "engine_dispatch"
StartWatch

Dim TARGET
TARGET = RunFolder & "\result.out"
Dim Operations
Operations = Array("Chart", "Map", "Picture", "EMFFile", "ImageFile", "RTF", "Text")
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
' Methods whose exporter serves tables only, so every other operation returns False at once.
Dim TableOnlyNames
TableOnlyNames = Array("CSV", "CDF", "XLS", "EXCEL")
' Methods of the document exporter, which writes RTF and plain text.
Dim DocumentNames
DocumentNames = Array("TXT", "TEXT", "RTF")

' What the operations are given: the test host's chart, a picture, and files made from the chart.
Dim Subject
Set Subject = CreateObject("Scripting.Dictionary")
Dim HostChart
Dim HostPicture
Dim EmfInput
Dim BmpInput
Sub MakeInputs()
    Set HostChart = CreateObject("ExportTestHost.Chart")
    Set HostPicture = CreateObject("ExportTestHost.Grid").MakePicture(16, 16, &HFF&)
    EmfInput = RunFolder & "\in.emf"
    BmpInput = RunFolder & "\in.bmp"
    Check "input EMF written", True, HostChart.PEcopymetatofile(64, 48, EmfInput)
    Check "input BMP written", True, HostChart.PEcopybitmaptofile(64, 48, BmpInput)
End Sub

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

' Runs one of the non-table operations by name.
Function Run(e, operation, method)
    Select Case operation
        Case "Chart": Run = e.ExportChart(HostChart, method)
        Case "Map": Run = e.ExportMap(Subject, method)
        Case "Picture": Run = e.ExportPicture(HostPicture, method)
        Case "EMFFile": Run = e.ExportEMFFile(EmfInput, method)
        Case "ImageFile": Run = e.ExportImageFile(BmpInput, method)
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

' What a known method name leaves behind when its exporter does not serve the operation:
' the result is False, an empty FileFormat takes the name as written, an image name becomes
' the ImageFormat as written, and only the printer forgets the target file.
Sub CheckRefusedKnownName(operation, name, spelled)
    Dim e, r, what
    Set e = QuietEngine()
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
End Sub

' No exporter exports maps, so ExportMap shows every name's bookkeeping.
Sub KnownNamesThroughExportMap()
    Dim name, spelled
    For Each name In KnownNames
        For Each spelled In Spellings(name)
            CheckRefusedKnownName "Map", name, spelled
        Next
    Next
End Sub

' Every other operation, with the names whose exporter does not serve it: the table-only
' ones everywhere, and the image names on RTF and text, which the image exporter leaves alone.
Sub KnownNamesOnEveryOperation()
    Dim operation, name, spelled
    For Each operation In Array("Chart", "Picture", "EMFFile", "ImageFile", "RTF", "Text")
        For Each name In TableOnlyNames
            For Each spelled In Spellings(name)
                CheckRefusedKnownName operation, name, spelled
            Next
        Next
        If operation = "RTF" Or operation = "Text" Then
            For Each name In ImageNames
                CheckRefusedKnownName operation, name, LCase(name)
            Next
            CheckRefusedKnownName operation, "IMAGE", "Image"
        End If
    Next
End Sub

' RTF and text through the document exporter, written for real: FileFormat replaced by the
' name, and the file name the exporter settled on (".txt" added) read back.
Sub DocumentsAreWritten()
    Dim operation, name, spelled, e, r, what
    For Each operation In Array("RTF", "Text")
        For Each name In DocumentNames
            For Each spelled In Spellings(name)
                Set e = QuietEngine()
                e.FileFormat = "CSV"
                e.ImageFormat = "preset"
                r = Run(e, operation, spelled)
                what = "Export" & operation & "(" & spelled & ") written: "
                Check what & "result", True, r
                Check what & "FileFormat", spelled, e.FileFormat
                Check what & "ImageFormat", "preset", e.ImageFormat
                Check what & "TargetFilename read back", TARGET & ".txt", e.TargetFilename
                Check what & "SkipFilenameSelection kept", True, e.SkipFilenameSelection
            Next
        Next
    Next
    Check "the document file exists", True, fso.FileExists(TARGET & ".txt")
End Sub

' The image operations with an image name, given real input: whatever the image exporter
' does with it, FileFormat and ImageFormat take the name and the target keeps its start.
Sub ImageNamesOnImageOperations()
    Dim operation, e, r, what
    For Each operation In Array("Chart", "Picture", "EMFFile", "ImageFile")
        Set e = QuietEngine()
        r = Run(e, operation, "Gif")
        what = "Export" & operation & "(Gif) "
        Check what & "FileFormat", "Gif", e.FileFormat
        Check what & "ImageFormat", "Gif", e.ImageFormat
        Check what & "TargetFilename starts with the target", TARGET, Left(e.TargetFilename, Len(TARGET))
        e.FileFormat = "XLS"
        e.TargetFilename = TARGET
        r = Run(e, operation, "PNG")
        Check what & "then PNG keeps FileFormat XLS", "XLS", e.FileFormat
        Check what & "then PNG names the ImageFormat", "PNG", e.ImageFormat
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
    For Each operation In Array("Chart", "Map", "Picture", "EMFFile", "ImageFile")
        Set e = QuietEngine()
        r = Run(e, operation, "csv")
        Check "Export" & operation & "(csv) on empty FileFormat: FileFormat", "csv", e.FileFormat
        e.FileFormat = "XLS"
        r = Run(e, operation, "Cdf")
        Check "Export" & operation & "(Cdf) keeps a FileFormat already set", "XLS", e.FileFormat
    Next
    Set e = QuietEngine()
    r = e.ExportMap(Subject, "png")
    Check "ExportMap(png) on empty FileFormat: FileFormat", "png", e.FileFormat
    Check "ExportMap(png) on empty FileFormat: ImageFormat", "png", e.ImageFormat
    e.FileFormat = "XLS"
    r = e.ExportMap(Subject, "GIF")
    Check "ExportMap(GIF) keeps FileFormat", "XLS", e.FileFormat
    Check "ExportMap(GIF) still names the ImageFormat", "GIF", e.ImageFormat

    For Each operation In Array("RTF", "Text")
        Set e = QuietEngine()
        e.FileFormat = "CSV"
        r = Run(e, operation, "Xls")
        Check "Export" & operation & "(Xls) replaces FileFormat CSV", "Xls", e.FileFormat
        r = Run(e, operation, "png")
        Check "Export" & operation & "(png) replaces FileFormat Xls", "png", e.FileFormat
        Check "Export" & operation & "(png) names the ImageFormat", "png", e.ImageFormat
    Next

    Set e = QuietEngine()
    e.ImageFormat = "BMP"
    r = e.ExportMap(Subject, "Image")
    Check "IMAGE leaves ImageFormat", "BMP", e.ImageFormat
    Check "IMAGE still sets an empty FileFormat", "Image", e.FileFormat
End Sub

' An export without a target clears SkipFilenameSelection before the method is looked up:
' shown with unknown names and with exporters that do not serve the operation.
Sub SkipFilenameSelectionNeedsATarget()
    Dim operation, method, methods, e, r
    For Each operation In Operations
        methods = Array("CSV", "XLS", "DOCX", "")
        If operation = "Map" Then methods = Array("CSV", "XLS", "DOCX", "", "PNG", "PRINTER", "HTML", "TXT")
        If operation = "RTF" Or operation = "Text" Then methods = Array("CSV", "XLS", "DOCX", "", "PNG")
        For Each method In methods
            Set e = NewEngine()
            e.Quiet = True
            e.SkipFilenameSelection = True
            r = Run(e, operation, method)
            Check "Export" & operation & "(" & method & ") without a target clears SkipFilenameSelection", _
                  False, e.SkipFilenameSelection
        Next
        Set e = QuietEngine()
        r = Run(e, operation, "CSV")
        Check "Export" & operation & "(CSV) with a target keeps SkipFilenameSelection", True, e.SkipFilenameSelection
    Next

    ' The printer forgets the target; the next export then has none.
    Set e = QuietEngine()
    r = e.ExportMap(Subject, "PRINTER")
    Check "after PRINTER: TargetFilename", "", e.TargetFilename
    Check "after PRINTER: SkipFilenameSelection", True, e.SkipFilenameSelection
    r = e.ExportText("x", "CSV")
    Check "next export without a target: SkipFilenameSelection", False, e.SkipFilenameSelection
    Check "next export without a target: TargetFilename", "", e.TargetFilename
End Sub

' Only ImageFormat, FileFormat, SkipFilenameSelection and TargetFilename may move, also
' when a document is really written.
Sub OtherOptionsSurviveExports()
    Dim operation, method, methods, e, r, what
    For Each operation In Operations
        methods = Array("XLS", "")
        If operation = "RTF" Or operation = "Text" Then methods = Array("XLS", "", "TXT")
        For Each method In methods
            Set e = QuietEngine()
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
            e.DefaultPrinter = "Laser"
            r = Run(e, operation, method)
            what = "after Export" & operation & "(" & method & "): "
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
            Check what & "SelectMethod", False, e.SelectMethod
            Check what & "SkipFieldSelection", True, e.SkipFieldSelection
            Check what & "Quiet", True, e.Quiet
            Check what & "DefaultPrinter", "Laser", e.DefaultPrinter
        Next
    Next
End Sub

Sub ArgumentsComeBackUnchanged()
    Dim e, r, method, chart, path, n
    Set e = QuietEngine()
    method = "Csv"
    Set chart = Subject
    r = e.ExportChart(chart, method)
    Check "method variable after ExportChart", "Csv", method
    Check "chart variable after ExportChart", Subject, chart
    path = "Z:\tmp\in.emf"
    method = "Xls"
    r = e.ExportEMFFile(path, method)
    Check "path variable after ExportEMFFile", "Z:\tmp\in.emf", path
    Check "method variable after ExportEMFFile", "Xls", method

    On Error Resume Next
    r = e.ExportChart(Nothing, "CSV")
    r = e.ExportMap(Nothing, "CSV")
    r = e.ExportPicture(Nothing, "CSV")
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
MakeInputs : Finished "inputs from the test host"
KnownNamesThroughExportMap : Finished "known method names"
KnownNamesOnEveryOperation : Finished "known names on every operation"
DocumentsAreWritten : Finished "documents written"
ImageNamesOnImageOperations : Finished "image names on image operations"
UnknownNamesChangeNothing : Finished "unknown method names"
FileFormatRules : Finished "FileFormat rules"
SkipFilenameSelectionNeedsATarget : Finished "SkipFilenameSelection"
OtherOptionsSurviveExports : Finished "options kept across exports"
ArgumentsComeBackUnchanged : Finished "arguments"
SendToDeliversNothing : Finished "SendTo"
StopWatch
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
