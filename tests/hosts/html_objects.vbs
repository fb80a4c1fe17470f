' HTML pages of the test host's chart and of a text as a script has the engine write them.
' The pages byte for byte, the side folder, the other kinds of object and archive mode are
' checked in tests/win/export_html_objects_test.cpp, the frame in tests/unit/page_frame_test.cpp.

Sub ChartAndText()
    Dim e, chart
    Set chart = CreateObject("ExportTestHost.Chart")
    chart.DeskColor = &H80FF80
    Set e = QuietEngine(RunFolder & "\chart")
    Check "chart page", True, e.ExportChart(chart, "HTML")
    Check "chart: named with .htm", RunFolder & "\chart.htm", e.TargetFilename
    Check "chart: the picture in the page", True, _
          InStr(ReadText(RunFolder & "\chart.htm", 0), "<p align=center><img border=""0"" src=""chart_files/chart.gif""></p>") > 0
    Check "chart: the picture beside it", True, fso.FileExists(RunFolder & "\chart_files\chart.gif")
    Check "chart: DeskColor put back", &H80FF80, chart.DeskColor
    e.TargetFilename = RunFolder & "\text.htm"
    Check "text page", True, e.ExportText("a<b", "HTML")
    Check "text page: the text unescaped", True, InStr(ReadText(RunFolder & "\text.htm", 0), "<pre>" & vbCrLf & "a<b" & vbCrLf & "</pre>") > 0
End Sub

On Error Resume Next
ChartAndText : Finished "chart and text"
Done
