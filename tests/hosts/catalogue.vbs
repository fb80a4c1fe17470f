' The menus a VBScript host builds from the engine: ExportMethods for every kind of object
' (keys, captions and their order) and SendToMethods from the user's Send To folder.
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

Dim engine
Set engine = CreateObject("TarnwickExports7.Engine")
' What the scripting runtime's own dictionaries are called here ("IDictionary" under Wine).
Dim DictionaryType
DictionaryType = TypeName(CreateObject("Scripting.Dictionary"))

' The menu as one line: key=caption pairs separated by "|", in the dictionary's order.
Function Listed(d)
    Dim k
    Listed = ""
    For Each k In d.Keys
        If Listed <> "" Then Listed = Listed & "|"
        Listed = Listed & k & "=" & d.Item(k)
    Next
End Function

Const CSV_ENTRY = "CSV=Export to &Comma Delimited File ..."
Const TXT_ENTRY = "TXT=Export to &Text File ..."
Const RTF_ENTRY = "RTF=Export to &Rich Text File ..."
Const HTML_ENTRY = "HTML=Export to &HTML File ..."
Const MHTML_ENTRY = "MHTML=Export to &MHTML File (Embedded Images) ..."
Const XLS_ENTRY = "XLS=Export to E&xcel Spreadsheet ..."
Const EXCEL_ENTRY = "EXCEL=Export Directly to &Excel ..."
Const PDF_ENTRY = "PDF=Export to Adobe PDF File ..."
Const IMAGE_ENTRY = "IMAGE=Export to &Image File ..."
Const EMF_ENTRY = "EMF=Export to &Enhanced Meta File ..."

Sub MenusForEveryKind()
    Dim expected(5)
    expected(0) = CSV_ENTRY & "|" & TXT_ENTRY & "|" & HTML_ENTRY & "|" & MHTML_ENTRY & "|" & XLS_ENTRY & "|" & _
                  EXCEL_ENTRY & "|" & PDF_ENTRY & "|" & IMAGE_ENTRY
    expected(1) = TXT_ENTRY & "|" & RTF_ENTRY & "|" & HTML_ENTRY & "|" & MHTML_ENTRY & "|" & PDF_ENTRY
    expected(2) = IMAGE_ENTRY & "|" & HTML_ENTRY & "|" & MHTML_ENTRY & "|" & PDF_ENTRY
    expected(3) = IMAGE_ENTRY & "|" & EMF_ENTRY & "|" & HTML_ENTRY & "|" & MHTML_ENTRY & "|" & PDF_ENTRY
    expected(4) = IMAGE_ENTRY & "|" & HTML_ENTRY & "|" & MHTML_ENTRY & "|" & PDF_ENTRY
    expected(5) = HTML_ENTRY & "|" & MHTML_ENTRY & "|" & PDF_ENTRY
    Dim kind
    For kind = 0 To 5
        Check "ExportMethods(" & kind & ")", expected(kind), Listed(engine.ExportMethods(kind))
    Next
    ' Held in a variable, as hosts pass their enumeration values (by reference).
    Dim objectType
    objectType = 3
    Check "ExportMethods(variable 3)", expected(3), Listed(engine.ExportMethods(objectType))
    Check "ExportMethods leaves its argument", 3, objectType
    Check "ExportMethods without an argument", expected(0), Listed(engine.ExportMethods())
    Check "ExportMethods without parentheses", expected(0), Listed(engine.ExportMethods)
End Sub

Sub UnknownKindsGiveEmptyMenus()
    Dim d
    Set d = engine.ExportMethods(6)
    Check "ExportMethods(6) is a dictionary", DictionaryType, TypeName(d)
    Check "ExportMethods(6) count", 0, d.Count
    Set d = engine.ExportMethods(-1)
    Check "ExportMethods(-1) count", 0, d.Count
End Sub

Sub EachCallGivesTheHostItsOwnDictionary()
    Dim first
    Dim second
    Set first = engine.ExportMethods(0)
    Check "a dictionary", DictionaryType, TypeName(first)
    Check "binary key comparison", 0, first.CompareMode
    Check "keys compare by case", False, first.Exists("csv")
    first.Remove "CSV"
    first.Add "MINE", "My own entry"
    Set second = engine.ExportMethods(0)
    Check "a new dictionary per call", False, first Is second
    Check "the host's changes stay in its own copy", True, second.Exists("CSV")
    Check "and do not reach the next one", False, second.Exists("MINE")
    Check "item by key", "Export Directly to &Excel ...", second("EXCEL")
End Sub

'A file the script puts into the user's Send To folder is listed by its path, with its
' name without the extension as the caption. (Hidden files, the mail recipient and the
' associated programs are covered by the C++ tests, which can prepare the prefix.)
Sub SendToListsTheSendToFolder()
    Dim fso
    Set fso = CreateObject("Scripting.FileSystemObject")
    ' The shell's special folder 9 (WScript.Shell's SpecialFolders is missing in Wine 8).
    Dim folder
    folder = CreateObject("Shell.Application").NameSpace(9).Self.Path
    If Not fso.FolderExists(folder) Then fso.CreateFolder folder
    Dim added
    added = fso.BuildPath(folder, "Quillon host check.txt")
    fso.CreateTextFile(added, True).Close

    Dim d
    Set d = engine.SendToMethods
    Check "SendToMethods is a dictionary", DictionaryType, TypeName(d)
    Check "the file is listed", True, d.Exists(added)
    If d.Exists(added) Then Check "its caption", "Quillon host check ...", d.Item(added)
    Check "a new dictionary per call", False, d Is engine.SendToMethods
    fso.DeleteFile added
    Check "the list is read at each call", False, engine.SendToMethods.Exists(added)
End Sub

On Error Resume Next
MenusForEveryKind : Finished "menus for every kind"
UnknownKindsGiveEmptyMenus : Finished "unknown kinds"
EachCallGivesTheHostItsOwnDictionary : Finished "own dictionary per call"
SendToListsTheSendToFolder : Finished "send-to folder"
On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
