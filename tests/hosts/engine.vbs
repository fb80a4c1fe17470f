' The engine as a VBScript host meets it: the classes created through the registry, options
' given as script values, the description, method names turned into exporters (shown with
' exporters that do not serve the operation, which return False at once), the menus, and
' documents written. The full tables behind these rules are in tests/unit and tests/win.
Const PROGID = "TarnwickExports7."
Dim TARGET
TARGET = RunFolder & "\out"

Sub ClassesAreCreatable()
    Dim name, obj
    For Each name In Array("Engine", "ExportMethod", "ExportCSV", "ExportTXT", "ExportHTML", _
                           "ExportMHTML", "ExportXLS", "ExportImage", "ExportPrinter", "ExportPDF")
        Set obj = Nothing
        On Error Resume Next
        Set obj = CreateObject(PROGID & name)
        Check "CreateObject " & PROGID & name & ": error, Nothing", "0 False", Err.Number & " " & (obj Is Nothing)
        On Error GoTo 0
    Next
End Sub

Sub OptionsFromScriptValues()
    Dim e, other, fmt, quiet, odd
    Set e = CreateObject(PROGID & "Engine")
    Set other = CreateObject(PROGID & "Engine")
    ' FileFormat, Quiet and DefaultPrinter take their value by reference: the variables stay.
    fmt = "XLS"
    quiet = True
    e.FileFormat = fmt
    e.Quiet = quiet
    Check "FileFormat from a variable, variable after", "XLS XLS", e.FileFormat & " " & fmt
    Check "Quiet from a variable, variable after", "True True", e.Quiet & " " & quiet
    e.ColumnList = 0
    Check "ColumnList from the Integer 0", ",0,", e.ColumnList
    odd = "caf" & Chr(233) & Chr(0) & vbTab & vbCrLf & """q"""
    e.Title = odd
    Check "Title keeps an accent, a NUL and line breaks", odd, e.Title
    Check "a second engine has options of its own", " False", other.FileFormat & other.ColumnList & " " & other.Quiet
End Sub

Sub Description()
    Dim e, shell, server, parts
    Set e = CreateObject(PROGID & "Engine")
    Set shell = CreateObject("WScript.Shell")
    server = shell.RegRead("HKCR\CLSID\" & shell.RegRead("HKCR\" & PROGID & "Engine\CLSID\") & "\InprocServer32\")
    Check "DLL is the registered server without its extension", LCase(Left(server, InStrRev(server, ".") - 1)), LCase(e.DLL)
    parts = Split(fso.GetFileVersion(e.DLL & ".dll"), ".")
    Check "Version is the file's version without its build part", parts(0) & "." & parts(1) & "." & parts(3), e.Version
    Check "Name", "Quillon Export Engine", e.Name
End Sub

' ExportMap is served by no exporter, so it shows the engine's bookkeeping alone.
Sub MethodNames()
    Dim e, r, method
    Set e = QuietEngine(TARGET)
    e.ImageFormat = "preset"
    Check "ExportMap(Csv)", False, e.ExportMap(fso, "Csv")
    Check "Csv fills an empty FileFormat as written", "Csv preset " & TARGET, e.FileFormat & " " & e.ImageFormat & " " & e.TargetFilename
    r = e.ExportMap(fso, "gif")
    Check "gif names the ImageFormat, keeps the FileFormat", "Csv gif", e.FileFormat & " " & e.ImageFormat
    r = e.ExportMap(fso, "Image")
    Check "Image leaves ImageFormat", "gif", e.ImageFormat
    r = e.ExportText("x", "Xls")
    Check "ExportText replaces FileFormat", "Xls", e.FileFormat
    Check "a name with a NUL is unknown", False, e.ExportRTF("x", "TXT" & Chr(0) & "X")
    Check "and changes nothing", "Xls gif " & TARGET, e.FileFormat & " " & e.ImageFormat & " " & e.TargetFilename
    e.Title = "T"
    e.ColumnList = "1"
    method = "Cdf"
    r = e.ExportChart(fso, "Cdf")
    r = e.ExportPicture(Nothing, "Cdf")
    r = e.ExportEMFFile(TARGET, method)
    r = e.ExportImageFile(TARGET, "Cdf")
    Check "only RTF and text replace a FileFormat; other options survive", "Xls T ,1, True", _
          e.FileFormat & " " & e.Title & " " & e.ColumnList & " " & e.Quiet
    Check "the method variable comes back unchanged", "Cdf", method
    r = e.ExportMap(fso, "PRINTER")
    Check "PRINTER forgets the target", "", e.TargetFilename
    Check "SkipFilenameSelection kept so far", True, e.SkipFilenameSelection
    r = e.ExportText("x", "DOCX")
    Check "an export without a target clears SkipFilenameSelection", False, e.SkipFilenameSelection
    Check "SendTo delivers nothing", False, e.SendTo("Z:\tmp\report.pdf", "MAIL")
    On Error Resume Next
    r = e.ExportChart(Nothing, "CSV")
    r = e.ExportPicture(Nothing, "CSV")
    Check "Nothing as the chart or picture raises nothing", 0, Err.Number
End Sub

' Keys for each kind of object (the loop variable goes by reference), captions of the table menu.
Function Listed(d, captions)
    Dim k
    Listed = ""
    For Each k In d.Keys
        Listed = Listed & " " & k
        If captions Then Listed = Listed & "=" & d(k)
    Next
End Function
Sub Menus()
    Dim e, kind, keys
    Set e = CreateObject(PROGID & "Engine")
    keys = Array(" CSV TXT HTML MHTML XLS EXCEL PDF IMAGE", " TXT RTF HTML MHTML PDF", " IMAGE HTML MHTML PDF", _
                 " IMAGE EMF HTML MHTML PDF", " IMAGE HTML MHTML PDF", " HTML MHTML PDF", "")
    For kind = 0 To 6
        Check "ExportMethods(" & kind & ")", keys(kind), Listed(e.ExportMethods(kind), False)
    Next
    Check "ExportMethods without an argument", " CSV=Export to &Comma Delimited File ... TXT=Export to &Text File ..." & _
          " HTML=Export to &HTML File ... MHTML=Export to &MHTML File (Embedded Images) ... XLS=Export to E&xcel Spreadsheet ..." & _
          " EXCEL=Export Directly to &Excel ... PDF=Export to Adobe PDF File ... IMAGE=Export to &Image File ...", Listed(e.ExportMethods, True)
    Check "the metafile entry", "Export to &Enhanced Meta File ...", e.ExportMethods(3)("EMF")
    Check "a new dictionary per call", False, e.ExportMethods Is e.ExportMethods
    Check "keys compare by case", False, e.ExportMethods.Exists("csv")
End Sub

' The engine hands RTF to the exporter as RTF: read as plain text under a name other than
' RTF (".txt" added). An empty text is one line end. (The table of names and forms is in
' tests/win/export_document_test.cpp.)
Sub Documents()
    Dim e
    Set e = QuietEngine(RunFolder & "\doc.out")
    Check "RTF as text", True, e.ExportRTF("{\rtf1\ansi Hello {\b bold} caf\'e9\par Second\par}", "rtf")
    Check "the plain text", "Hello bold caf" & Chr(233) & vbCrLf & "Second" & vbCrLf, ReadText(RunFolder & "\doc.out.txt", 0)
    Check "an empty text", True, e.ExportText("", "TXT")
    Check "is one line end", vbCrLf, ReadText(e.TargetFilename, 0)
End Sub

On Error Resume Next
ClassesAreCreatable : Finished "creatable classes"
OptionsFromScriptValues : Finished "options"
Description : Finished "description"
MethodNames : Finished "method names"
Menus : Finished "menus"
Documents : Finished "documents"
Done
