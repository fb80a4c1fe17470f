' MHTML archives as a script has the engine write them: the test host's chart and a text
' each leave one file, which Python's email package reads as multipart/related with every
' <img> of the page a part. The packer's rules in detail are in tests/unit/mime_packer_test.cpp,
' the exporter's, with the grid's archive, in tests/win/export_mhtml_test.cpp.
Dim SourceRoot
SourceRoot = fso.GetParentFolderName(fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)))

Function UnixPath(path)
    UnixPath = Replace(Mid(path, 3), "\", "/")   ' Z:\x is /x
End Function

' Python's email package on an archive (tests/support/mhtml_check.py), started as a Linux
' program, which Wine does not let a script wait for: its reading appears complete under
' its name in the run folder. "error ..." when none came within a minute.
Function Reading(archive)
    Dim result, deadline, shell
    result = RunFolder & "\" & fso.GetFileName(archive) & ".reading"
    Set shell = CreateObject("WScript.Shell")
    shell.Run "/usr/bin/python3 """ & UnixPath(SourceRoot & "\tests\support\mhtml_check.py") & _
        """ """ & UnixPath(archive) & """ --out """ & UnixPath(result) & """", 0, False
    deadline = DateAdd("s", 60, Now)   ' Wine's WScript has no Sleep
    Do While Not fso.FileExists(result) And Now < deadline
    Loop
    Reading = "error: no reading"
    If fso.FileExists(result) Then Reading = ReadText(result, 0)
End Function

' The archive is alone in its folder, the page is its root and `pictures` <img>s resolve
' to `parts` parts, none of them left over.
Sub CheckArchive(what, folder, archive, parts, pictures)
    Dim text, lines
    Check what & ": one file", 1, fso.GetFolder(folder).Files.Count + fso.GetFolder(folder).SubFolders.Count
    text = Reading(archive)
    lines = Split(text, vbLf)
    Check what & ": read", "type multipart/related; root text/html; charset windows-1252; parts " & parts, lines(0)
    Check what & ": pictures found", pictures, UBound(Split(text, "-> image/"))
    Check what & ": pictures missing", 0, UBound(Split(text, "-> no part"))
    Check what & ": nothing left over", True, InStr(text, "unreferenced parts: none" & vbLf & "defects: none") > 0
End Sub

Function NewFolder(name)
    Dim folder
    folder = RunFolder & "\" & name
    fso.CreateFolder folder
    NewFolder = folder
End Function

Sub ChartAndTextArchives()
    Dim e, chart, folder
    folder = NewFolder("chart")
    Set chart = CreateObject("ExportTestHost.Chart")
    Set e = QuietEngine(folder & "\chart.mhtml")
    Check "chart archive", True, e.ExportChart(chart, "MHTML")
    CheckArchive "chart", folder, folder & "\chart.mhtml", 3, 3
    folder = NewFolder("text")
    e.TargetFilename = folder & "\note.mhtml"
    Check "text archive", True, e.ExportText("Two deliveries are late.", "MHTML")
    CheckArchive "text", folder, folder & "\note.mhtml", 2, 2
End Sub

On Error Resume Next
ChartAndTextArchives : Finished "chart and text archives"
Done
