' Comma- and tab-separated files written from a grid written in VBScript: the bytes of the
' file for the quoting, check-box, picture, line-break, hidden-row and column rules, the
' header lines, Redraw around the export, and the file names the exporters settle on.
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

Dim fso
Set fso = CreateObject("Scripting.FileSystemObject")
Const FOLDER = "Z:\tmp\tarnwick-host-tests\delimited"
If Not fso.FolderExists("Z:\tmp\tarnwick-host-tests") Then fso.CreateFolder "Z:\tmp\tarnwick-host-tests"
If Not fso.FolderExists(FOLDER) Then fso.CreateFolder FOLDER

' A grid of texts with per-cell check boxes, pictures and data values, row heights and
' hidden rows; it records Redraw writes.
Class CellGrid
    Public RowCount
    Public ColCount
    Public Texts
    Public Checks
    Public Pictures
    Public Datas
    Public Heights
    Public Hidden
    Public RedrawLog
    Private mRedraw

    Public Sub Init(r, c)
        RowCount = r
        ColCount = c
        ReDim Texts(r - 1, c - 1)
        ReDim Checks(r - 1, c - 1)
        ReDim Pictures(r - 1, c - 1)
        ReDim Datas(r - 1, c - 1)
        ReDim Heights(r - 1)
        ReDim Hidden(r - 1)
        Dim i, j
        For i = 0 To r - 1
            Heights(i) = 240
            Hidden(i) = False
            For j = 0 To c - 1
                Texts(i, j) = ""
                Checks(i, j) = 0
                Set Pictures(i, j) = Nothing
                Datas(i, j) = ""
            Next
        Next
        RedrawLog = ""
        mRedraw = True
    End Sub

    ' Wine's VBScript cannot assign to an element of another object's array: setters instead.
    Public Sub SetText(r, c, v)
        Texts(r, c) = v
    End Sub
    Public Sub SetCheck(r, c, v)
        Checks(r, c) = v
    End Sub
    Public Sub SetPicture(r, c, p, data)
        Set Pictures(r, c) = p
        Datas(r, c) = data
    End Sub
    Public Sub SetHeight(r, v)
        Heights(r) = v
    End Sub
    Public Sub SetHidden(r, v)
        Hidden(r) = v
    End Sub

    Public Property Get Rows()
        Rows = RowCount
    End Property
    Public Property Get Cols()
        Cols = ColCount
    End Property
    Public Property Get RowHeight(r)
        RowHeight = Heights(r)
    End Property
    Public Property Get RowHidden(r)
        RowHidden = Hidden(r)
    End Property
    Public Property Get Redraw()
        Redraw = mRedraw
    End Property
    Public Property Let Redraw(v)
        RedrawLog = RedrawLog & CStr(v) & ";"
        mRedraw = v
    End Property
    Public Property Get WallPaper()
        Set WallPaper = Nothing
    End Property
    Public Property Set WallPaper(p)
    End Property
    Public Property Get Cell(setting, r, c)
        Select Case setting
            Case 0: Cell = Texts(r, c)
            Case 3: Set Cell = Pictures(r, c)
            Case 5: Cell = Checks(r, c)
            Case 20: Cell = Datas(r, c)
            Case Else: Cell = Empty
        End Select
    End Property
End Class

Function ReadFile(path)
    Dim stream
    Set stream = fso.OpenTextFile(path, 1, False, 0)
    ReadFile = stream.ReadAll
    stream.Close
End Function

' The file without its first four header lines (the date line varies).
Function Body(path, skip)
    Dim text, i, at
    text = ReadFile(path)
    For i = 1 To skip
        at = InStr(text, vbCrLf)
        text = Mid(text, at + 2)
    Next
    Body = text
End Function

Function NewEngine(target)
    Set NewEngine = CreateObject("TarnwickExports7.Engine")
    NewEngine.Quiet = True
    NewEngine.SkipFieldSelection = True
    NewEngine.SkipFilenameSelection = True
    NewEngine.TargetFilename = target
End Function

Dim g, e, picture, path
Set picture = CreateObject("Scripting.Dictionary")

On Error Resume Next

' ---- the field rules, byte for byte, in both separators
Set g = New CellGrid
g.Init 3, 5
g.SetText 0, 0, "a,b" : g.SetText 0, 1, "a b" : g.SetText 0, 2, "ab" : g.SetText 0, 3, "say ""hi""" : g.SetText 0, 4, "x" & vbCrLf & "y"
g.SetText 1, 0, "ticked" : g.SetCheck 1, 0, 1 : g.SetCheck 1, 1, 2 : g.SetText 1, 1, "a b"
g.SetPicture 1, 2, picture, "4711"
g.SetPicture 1, 3, picture, "" : g.SetText 1, 3, "label"
g.SetText 1, 4, ""
g.SetText 2, 0, """quoted""" : g.SetText 2, 1, "x" & vbLf & "y, z" : g.SetText 2, 2, "tab" & vbTab & "in"
Set e = NewEngine(FOLDER & "\fields.csv")
Check "csv export result", True, e.ExportTable(g, "CSV")
Check "csv rows", "" & _
    """a,b"",""a b"",ab,""say hi"",x y" & vbCrLf & _
    "Yes,No,""4711"",""label""," & vbCrLf & _
    "quoted,""x y, z"",tab" & vbTab & "in,," & vbCrLf, Body(FOLDER & "\fields.csv", 2)
Check "Redraw off while reading, on at the end", "False;True;", g.RedrawLog
Set e = NewEngine(FOLDER & "\fields.txt")
Check "txt export result", True, e.ExportTable(g, "TXT")
Check "txt rows", "" & _
    """a,b""" & vbTab & """a b""" & vbTab & "ab" & vbTab & """say hi""" & vbTab & "x y" & vbCrLf & _
    "Yes" & vbTab & "No" & vbTab & """4711""" & vbTab & """label""" & vbTab & vbCrLf & _
    "quoted" & vbTab & """x y, z""" & vbTab & "tab" & vbTab & "in" & vbTab & vbTab & vbCrLf, Body(FOLDER & "\fields.txt", 2)
Finished "field rules"

' ---- header lines: present only when set, the date line always
Set g = New CellGrid
g.Init 1, 1
g.SetText 0, 0, "only"
Set e = NewEngine(FOLDER & "\header.csv")
e.ProgramName = "Inventory" : e.ProgramVersion = "2.1" : e.Title = "Stock" : e.SubTitle = "All depots"
e.Paragraph = "not written" : e.Footer = "not written either"
e.ExportTable g, "CSV"
Dim lines
lines = Split(ReadFile(FOLDER & "\header.csv"), vbCrLf)
Check "header line count", 8, UBound(lines) + 1
Check "generated by", "# Generated by Inventory", lines(0)
Check "version", "# Version 2.1", lines(1)
Check "date line starts with #", "# ", Left(lines(2), 2)
Check "date line holds the year", True, InStr(lines(2), CStr(Year(Now))) > 0
Check "separator line", "#", lines(3)
Check "title", "# Stock", lines(4)
Check "subtitle", "# All depots", lines(5)
Check "data", "only", lines(6)
Check "file ends with CR LF", "", lines(7)
Set e = NewEngine(FOLDER & "\bare.csv")
e.ExportTable g, "CSV"
lines = Split(ReadFile(FOLDER & "\bare.csv"), vbCrLf)
Check "bare header: date then #", "#", lines(1)
Check "bare data", "only", lines(2)
Finished "header lines"

' ---- rows and columns that are left out
Set g = New CellGrid
g.Init 5, 3
Dim r, c
For r = 0 To 4
    For c = 0 To 2
        g.SetText r, c, "r" & r & "c" & c
    Next
Next
g.SetHidden 1, True
g.SetHeight 2, 0
g.SetHeight 3, -15
Set e = NewEngine(FOLDER & "\rows.csv")
e.ColumnList = "0,2"
e.ExportTable g, "CSV"
Check "hidden and flat rows leave no line; columns outside the list no field", _
    "r0c0,r0c2" & vbCrLf & "r4c0,r4c2" & vbCrLf, Body(FOLDER & "\rows.csv", 2)
Set e = NewEngine(FOLDER & "\nocols.csv")
e.ColumnList = "7"
e.ExportTable g, "CSV"
Check "no selected column gives empty lines", vbCrLf & vbCrLf, Body(FOLDER & "\nocols.csv", 2)
Finished "left-out rows and columns"

' ---- file names: accepted extensions kept, others get the first one appended
Set g = New CellGrid
g.Init 1, 1
Set e = NewEngine(FOLDER & "\Upper.CDF")
e.ExportTable g, "CSV"
Check ".CDF kept", FOLDER & "\Upper.CDF", e.TargetFilename
Check ".CDF written", True, fso.FileExists(FOLDER & "\Upper.CDF")
Set e = NewEngine(FOLDER & "\data.dat")
e.ExportTable g, "csv"
Check ".dat gets .csv", FOLDER & "\data.dat.csv", e.TargetFilename
Check ".dat.csv written", True, fso.FileExists(FOLDER & "\data.dat.csv")
Set e = NewEngine(FOLDER & "\notes.TEXT")
e.ExportTable g, "TXT"
Check ".TEXT kept for tab files", FOLDER & "\notes.TEXT", e.TargetFilename
Set e = NewEngine(FOLDER & "\plain")
e.ExportTable g, "TEXT"
Check "no extension gets .txt", FOLDER & "\plain.txt", e.TargetFilename
Finished "file names"

' ---- documents: RTF kept as markup or read as plain text
Const RTF = "{\rtf1\ansi{\fonttbl\f0\fswiss Arial;}\f0 Hello {\b bold} caf\'e9\par Second\par}"
Set e = NewEngine(FOLDER & "\doc.RTF")
Check "rtf export", True, e.ExportRTF(RTF, "RTF")
Check "rtf markup unchanged", RTF & vbCrLf, ReadFile(FOLDER & "\doc.RTF")
Set e = NewEngine(FOLDER & "\doc.txt")
e.ExportRTF RTF, "RTF"
Check "rtf as plain text", "Hello bold caf" & Chr(233) & vbCrLf & "Second" & vbCrLf, ReadFile(FOLDER & "\doc.txt")
Set e = NewEngine(FOLDER & "\doc.doc")
e.ExportRTF RTF, "RTF"
Check ".doc gets .txt", FOLDER & "\doc.doc.txt", e.TargetFilename
Check ".doc.txt holds plain text", "Hello bold caf" & Chr(233) & vbCrLf & "Second" & vbCrLf, ReadFile(FOLDER & "\doc.doc.txt")
Set e = NewEngine(FOLDER & "\empty")
Check "empty text export", True, e.ExportText("", "TXT")
Check "empty text gives one CR LF", vbCrLf, ReadFile(FOLDER & "\empty.txt")
Set e = NewEngine(FOLDER & "\note.text")
e.ExportText "line one" & vbCrLf & "line two", "TEXT"
Check "text unchanged", "line one" & vbCrLf & "line two" & vbCrLf, ReadFile(FOLDER & "\note.text")
Finished "documents"

On Error GoTo 0

WScript.Echo passed & " passed, " & failed & " failed"
