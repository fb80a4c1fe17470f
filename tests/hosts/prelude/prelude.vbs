' Put in front of every VBScript host test by scripts/run_tests.py (see ../README.md): the
' checks, the run's own folder, and the dialog watch. A script runs its groups as
' `Group : Finished "name"` under On Error Resume Next and ends with `Done`.
Option Explicit
Dim passed, failed, fso, RunFolder, Watch, WatchLog, WindowsSeen, WatchEnded
passed = 0
failed = 0
Set fso = CreateObject("Scripting.FileSystemObject")
Set Watch = Nothing
WindowsSeen = 0
WatchEnded = False

' Kind as well as value: "" is not Empty, 0 is not False, objects compare with Is.
Function Kind(v)
    If IsObject(v) Then Kind = "Object" Else Kind = TypeName(v)   ' TypeName(Nothing) crashes Wine's VBScript
    If InStr(" Byte Integer Long Single Double Currency Decimal ", " " & Kind & " ") > 0 Then Kind = "Number"
End Function
Function Shown(v)
    If IsObject(v) Then Shown = "<object>" Else Shown = "'" & v & "' (" & TypeName(v) & ")"
End Function
Sub Fail(text)
    failed = failed + 1
    WScript.Echo "FAIL: " & text
End Sub
Sub Check(what, expected, actual)
    Dim ok
    ok = (Kind(expected) = Kind(actual))
    If ok Then
        If IsObject(expected) Then ok = (expected Is actual) Else ok = (expected = actual)
    End If
    If ok Then passed = passed + 1 Else Fail what & ": expected " & Shown(expected) & ", got " & Shown(actual)
End Sub
' Ends a group: an error that stopped it is one failure, and so is each window the watch closed.
Sub Finished(group)
    If Err.Number <> 0 Then Fail group & " stopped by error " & Err.Number & " " & Err.Description
    Err.Clear
    ReportWindows group
End Sub

Function ReadText(path, format)   ' format: 0 ANSI, -1 UTF-16
    Dim stream
    ReadText = ""
    Set stream = fso.OpenTextFile(path, 1, False, format)
    If Not stream.AtEndOfStream Then ReadText = stream.ReadAll
    stream.Close
End Function

' An engine that opens no window: no progress or closing message, no save dialog.
Function QuietEngine(target)
    Set QuietEngine = CreateObject("TarnwickExports7.Engine")
    QuietEngine.Quiet = True
    QuietEngine.SkipFilenameSelection = True
    QuietEngine.TargetFilename = target
End Function

' Exports go to a folder of this run's own, Z:\tmp\tarnwick-host-tests\<script>-<random>.
Sub MakeRunFolder()
    Dim tries
    Randomize
    On Error Resume Next
    fso.CreateFolder "Z:\tmp\tarnwick-host-tests"
    Do
        tries = tries + 1
        Err.Clear
        RunFolder = "Z:\tmp\tarnwick-host-tests\" & fso.GetBaseName(WScript.ScriptName) & "-" & Int(Rnd * 1000000000)
        fso.CreateFolder RunFolder
    Loop While Err.Number <> 0 And tries < 20
    Err.Clear
End Sub

' uidriver.exe closes every dialog and message box of this process and logs it; Finished
' counts each as a failure of its group, so no window can hang the script.
Sub StartWatch()
    Dim driver, steps, stream
    driver = fso.GetParentFolderName(fso.GetParentFolderName(WScript.ScriptFullName)) & "\win64\uidriver.exe"
    If Not fso.FileExists(driver) Then driver = Replace(driver, "\win64\", "\win32\")
    If Not fso.FileExists(driver) Then
        WScript.Echo "note: no uidriver.exe beside " & WScript.ScriptFullName & ": dialogs are not watched"
        Exit Sub
    End If
    steps = RunFolder & "\watch-steps.txt"
    WatchLog = RunFolder & "\watch.log"
    Set stream = fso.CreateTextFile(steps, True)
    stream.Write Replace(Space(500), " ", "window class=#32770" & vbCrLf & "read" & vbCrLf & "close" & vbCrLf & "gone" & vbCrLf)
    stream.Close
    Set Watch = CreateObject("WScript.Shell").Exec("""" & driver & """ --unicode-log --log """ & WatchLog & _
                                                   """ --deadline 240 --script """ & steps & """")
End Sub

' Each window is logged as "window ...", then again by "read" with its controls (control
' 65535 is a message box's text). The driver keeps its log open: a copy is read.
Sub ReportWindows(group)
    Dim line, previous, count
    If Watch Is Nothing Then Exit Sub
    If Not fso.FileExists(WatchLog) Then Exit Sub
    If fso.GetFile(WatchLog).Size < 4 Then Exit Sub
    fso.CopyFile WatchLog, WatchLog & ".copy", True
    count = 0
    For Each line In Split(ReadText(WatchLog & ".copy", -1), vbCrLf)
        If Left(line, 7) = "window " And line <> previous Then
            count = count + 1
            If count > WindowsSeen Then Fail group & ": a dialog stayed open until the driver closed it: " & Mid(line, 8)
        ElseIf Left(line, 19) = "control id=65535 cl" And count > WindowsSeen Then
            WScript.Echo "      it said: " & Mid(line, InStr(line, " text=") + 6)
        ElseIf (Left(line, 6) = "error:" Or Left(line, 9) = "deadline:") And Not WatchEnded Then
            WatchEnded = True
            Fail group & ": the dialog watch ended early: " & line
        End If
        previous = line
    Next
    If count > WindowsSeen Then WindowsSeen = count
End Sub

' Stops the driver, removes the run's folder unless something failed, prints the summary.
Sub Done()
    Dim started
    On Error Resume Next
    If Not Watch Is Nothing Then
        If Watch.Status = 0 Then Watch.Terminate
        started = Timer   ' Wine's WScript has no Sleep
        Do While Watch.Status = 0 And Abs(Timer - started) < 3
        Loop
    End If
    If failed = 0 Then fso.DeleteFolder RunFolder, True Else WScript.Echo "files of this run: " & RunFolder
    Err.Clear
    WScript.Echo passed & " passed, " & failed & " failed"
End Sub

MakeRunFolder
StartWatch
' ---- the script follows
