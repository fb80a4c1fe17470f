' Engine options as a VBScript host sees them: defaults, round trips, the column list's
' enclosing commas, the read-only description properties and the creatable classes.
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

Const PROGID = "TarnwickExports7."
Dim StringOptions
StringOptions = Array("ProgramName", "ProgramVersion", "Title", "SubTitle", "Paragraph", "Footer", _
                      "TargetFilename", "InitDir", "ImageFormat", "FileFormat", "DefaultPrinter")
Dim BoolOptions
BoolOptions = Array("SelectMethod", "SkipFilenameSelection", "SkipFieldSelection", "Quiet")

Function NewEngine()
    Set NewEngine = CreateObject(PROGID & "Engine")
End Function

' Named access to the options, so the checks below can run over lists of names.
Function GetOption(e, name)
    Select Case name
        Case "ProgramName": GetOption = e.ProgramName
        Case "ProgramVersion": GetOption = e.ProgramVersion
        Case "Title": GetOption = e.Title
        Case "SubTitle": GetOption = e.SubTitle
        Case "Paragraph": GetOption = e.Paragraph
        Case "Footer": GetOption = e.Footer
        Case "TargetFilename": GetOption = e.TargetFilename
        Case "InitDir": GetOption = e.InitDir
        Case "ImageFormat": GetOption = e.ImageFormat
        Case "FileFormat": GetOption = e.FileFormat
        Case "DefaultPrinter": GetOption = e.DefaultPrinter
        Case "ColumnList": GetOption = e.ColumnList
        Case "SelectMethod": GetOption = e.SelectMethod
        Case "SkipFilenameSelection": GetOption = e.SkipFilenameSelection
        Case "SkipFieldSelection": GetOption = e.SkipFieldSelection
        Case "Quiet": GetOption = e.Quiet
        Case Else: Err.Raise 5, , "no option " & name
    End Select
End Function

Sub SetOption(e, name, value)
    Select Case name
        Case "ProgramName": e.ProgramName = value
        Case "ProgramVersion": e.ProgramVersion = value
        Case "Title": e.Title = value
        Case "SubTitle": e.SubTitle = value
        Case "Paragraph": e.Paragraph = value
        Case "Footer": e.Footer = value
        Case "TargetFilename": e.TargetFilename = value
        Case "InitDir": e.InitDir = value
        Case "ImageFormat": e.ImageFormat = value
        Case "FileFormat": e.FileFormat = value
        Case "DefaultPrinter": e.DefaultPrinter = value
        Case "SelectMethod": e.SelectMethod = value
        Case "SkipFilenameSelection": e.SkipFilenameSelection = value
        Case "SkipFieldSelection": e.SkipFieldSelection = value
        Case "Quiet": e.Quiet = value
        Case Else: Err.Raise 5, , "no option " & name
    End Select
End Sub

Sub DefaultsAreEmpty()
    Dim e, name
    Set e = NewEngine()
    For Each name In StringOptions
        Check "default " & name, "", GetOption(e, name)
    Next
    Check "default ColumnList", "", e.ColumnList
    For Each name In BoolOptions
        Check "default " & name, False, GetOption(e, name)
    Next
    Check "default Orientation", 0, e.Orientation
    Check "default ImageHeight", 0, e.ImageHeight
    Check "default ImageWidth", 0, e.ImageWidth
    Check "ImageHeight is a Long", vbLong, VarType(e.ImageHeight)
    Check "Orientation is a Long", vbLong, VarType(e.Orientation)
End Sub

' Every option keeps its own value: all are set to different values before any is read.
Sub StringOptionsKeepTheirOwnValues()
    Dim e, name
    Set e = NewEngine()
    For Each name In StringOptions
        SetOption e, name, name & " value"
    Next
    For Each name In StringOptions
        Check name & " after Let", name & " value", GetOption(e, name)
    Next
    For Each name In StringOptions
        SetOption e, name, ""
        Check name & " cleared", "", GetOption(e, name)
    Next

    Dim odd
    odd = "caf" & Chr(233) & " " & Chr(0) & "tab" & vbTab & "line" & vbCrLf & """q"""
    e.Title = odd
    Check "Title keeps accents, NUL, tab and line break", odd, e.Title
    Check "Title keeps its length across a NUL", Len(odd), Len(e.Title)
    e.Footer = String(70000, "f")
    Check "Footer keeps a 70000-character text", 70000, Len(e.Footer)
End Sub

Sub BooleanOptionsKeepTheirOwnValues()
    Dim e, name, other
    Set e = NewEngine()
    For Each name In BoolOptions
        SetOption e, name, True
        For Each other In BoolOptions
            Check other & " after " & name & " = True", (other = name), GetOption(e, other)
        Next
        SetOption e, name, False
        Check name & " back to False", False, GetOption(e, name)
    Next
    e.Quiet = 1
    Check "Quiet = 1 reads True", True, e.Quiet
End Sub

Sub NumericOptions()
    Dim e, n
    Set e = NewEngine()
    e.ImageHeight = 480
    e.ImageWidth = 640
    Check "ImageHeight", 480, e.ImageHeight
    Check "ImageWidth", 640, e.ImageWidth
    e.ImageWidth = "1024"
    Check "ImageWidth from text", 1024, e.ImageWidth
    Check "ImageHeight left alone by ImageWidth", 480, e.ImageHeight
    e.ImageHeight = -1
    Check "negative ImageHeight", -1, e.ImageHeight
    e.Orientation = 1
    Check "Orientation landscape", 1, e.Orientation
    e.Orientation = 0
    Check "Orientation portrait", 0, e.Orientation

    e.ImageHeight = 480
    On Error Resume Next
    e.ImageHeight = 3000000000
    n = Err.Number
    Err.Clear
    On Error GoTo 0
    Check "ImageHeight beyond a Long raises", True, (n <> 0)
    Check "ImageHeight kept after the refused value", 480, e.ImageHeight
End Sub

' FileFormat, Quiet and DefaultPrinter take their value by reference.
Sub ByReferenceSettersLeaveTheCallerAlone()
    Dim e, fmt, quiet, printer
    Set e = NewEngine()
    fmt = "XLS"
    quiet = True
    printer = "Office Laser"
    e.FileFormat = fmt
    e.Quiet = quiet
    e.DefaultPrinter = printer
    Check "FileFormat from a variable", "XLS", e.FileFormat
    Check "Quiet from a variable", True, e.Quiet
    Check "DefaultPrinter from a variable", "Office Laser", e.DefaultPrinter
    Check "variable given to FileFormat unchanged", "XLS", fmt
    Check "variable given to Quiet unchanged", True, quiet
    Check "variable given to DefaultPrinter unchanged", "Office Laser", printer
End Sub

Sub EnginesDoNotShareOptions()
    Dim a, b
    Set a = NewEngine()
    Set b = NewEngine()
    Check "two engines are two objects", False, (a Is b)
    a.Title = "first"
    a.ColumnList = "1"
    a.Quiet = True
    a.ImageWidth = 10
    Check "second engine Title", "", b.Title
    Check "second engine ColumnList", "", b.ColumnList
    Check "second engine Quiet", False, b.Quiet
    Check "second engine ImageWidth", 0, b.ImageWidth
End Sub

Sub ColumnListIsEnclosedInCommas()
    Dim e
    Set e = NewEngine()
    e.ColumnList = "1,3"
    Check "ColumnList ""1,3""", ",1,3,", e.ColumnList
    e.ColumnList = ""
    Check "ColumnList """"", "", e.ColumnList
    e.ColumnList = 0
    Check "ColumnList 0", ",0,", e.ColumnList
    e.ColumnList = ",1,3,"
    Check "ColumnList already enclosed is enclosed again", ",,1,3,,", e.ColumnList
    e.ColumnList = "2"
    e.ColumnList = "2"
    Check "ColumnList set twice is enclosed once", ",2,", e.ColumnList
End Sub

Sub DescriptionIsReadOnly()
    Dim e, n, name, before
    Set e = NewEngine()
    For Each name In Array("Name", "Version", "DLL")
        Select Case name
            Case "Name": before = e.Name
            Case "Version": before = e.Version
            Case "DLL": before = e.DLL
        End Select
        On Error Resume Next
        Select Case name
            Case "Name": e.Name = "Other"
            Case "Version": e.Version = "9.9.9"
            Case "DLL": e.DLL = "C:\elsewhere"
        End Select
        n = Err.Number
        Err.Clear
        On Error GoTo 0
        Check "assigning " & name & " raises 438", 438, n
        Select Case name
            Case "Name": Check "Name unchanged", before, e.Name
            Case "Version": Check "Version unchanged", before, e.Version
            Case "DLL": Check "DLL unchanged", before, e.DLL
        End Select
    Next
End Sub

Sub DescriptionMatchesTheInstalledFile()
    Dim e, fso, shell, clsid, registered, parts
    Set e = NewEngine()
    Set fso = CreateObject("Scripting.FileSystemObject")
    Set shell = CreateObject("WScript.Shell")
    Check "Name", "Quillon Export Engine", e.Name

    clsid = shell.RegRead("HKCR\" & PROGID & "Engine\CLSID\")
    registered = shell.RegRead("HKCR\CLSID\" & clsid & "\InprocServer32\")
    Check "DLL is the registered server without its extension", _
          LCase(fso.BuildPath(fso.GetParentFolderName(registered), fso.GetBaseName(registered))), LCase(e.DLL)
    Check "DLL ends in the component's base name", "\TarnwickExports7", Right(e.DLL, 17)
    Check "DLL & "".dll"" exists", True, fso.FileExists(e.DLL & ".dll")

    parts = Split(fso.GetFileVersion(e.DLL & ".dll"), ".")
    Check "file version has four parts", 3, UBound(parts)
    Check "file version starts 7.0.0", "7.0.0", parts(0) & "." & parts(1) & "." & parts(2)
    Check "Version is major.minor.revision of the file version", _
          parts(0) & "." & parts(1) & "." & parts(3), e.Version
    Check "Version starts 7.0.", "7.0.", Left(e.Version, 4)
End Sub

Sub EveryClassIsCreatable()
    Dim name, obj, n
    For Each name In Array("Engine", "ExportMethod", "ExportCSV", "ExportTXT", "ExportHTML", _
                           "ExportMHTML", "ExportXLS", "ExportImage", "ExportPrinter", "ExportPDF")
        Set obj = Nothing
        On Error Resume Next
        Set obj = CreateObject(PROGID & name)
        n = Err.Number
        Err.Clear
        On Error GoTo 0
        Check "CreateObject " & PROGID & name & " error", 0, n
        Check "CreateObject " & PROGID & name & " gives an object", False, (obj Is Nothing)
    Next
End Sub

On Error Resume Next
DefaultsAreEmpty : Finished "defaults"
StringOptionsKeepTheirOwnValues : Finished "string options"
BooleanOptionsKeepTheirOwnValues : Finished "Boolean options"
NumericOptions : Finished "numeric options"
ByReferenceSettersLeaveTheCallerAlone : Finished "by-reference setters"
EnginesDoNotShareOptions : Finished "separate engines"
ColumnListIsEnclosedInCommas : Finished "column list"
DescriptionIsReadOnly : Finished "read-only description"
DescriptionMatchesTheInstalledFile : Finished "description"
EveryClassIsCreatable : Finished "creatable classes"
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
