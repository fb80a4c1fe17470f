' demo.vbs - a small host of the Tarnwick export engine.
'
' It builds a grid of its own (an order list with a header row, text, number, date and
' check-box columns, some colours and one hidden row) and exports it without asking the
' user anything, once per table method, into the folder given on the command line:
'
'     cscript //nologo demo.vbs C:\Temp\demo-output [GRID-FILE]
'
' With a GRID-FILE, the grid is the test host's (ExportTestHost.Grid) loaded from that file
' instead (make demo passes examples\sample-grid.txt), and the test host's chart is exported
' as PNG, GIF and JPEG pictures and as a single-file MHTML page too (MHTML is a web page with
' its pictures inside: demo.mhtml holds the grid's page, its banner and its cell pictures).
' It also writes an RTF document, the same document as a PDF file, and a text document.
'
' Each export prints one line: the method, what ExportTable or ExportChart returned, and the
' file asked for.
Option Explicit

' ---------------------------------------------------------------------------------------
' What the engine asks of a grid
'
' The engine reaches the grid late-bound, so any object that answers these members by name
' will do: a grid control on a form, or, as here, a VBScript class.
'
'   Rows, Cols, FixedRows, FixedCols        size of the grid and of its header part
'   Row, Col (Let)                          the current cell
'   Cell(setting, row, col)                 one property of one cell, see CELL_* below
'   RowHeight(row), RowHidden(row)          row layout
'   ColWidth(col), ColHidden(col)           column layout
'   ColAlignment(col), ColDataType(col)     column alignment (ALIGN_*) and value type
'   GetMergedRange row, col, r1, c1, r2, c2 the merged block holding a cell
'   WallPaper (Get / Set)                   the background picture; the engine takes it
'                                           off while it exports and puts it back after
'   Redraw (Get / Let)                      screen updating
' ---------------------------------------------------------------------------------------

' Cell settings.
Const CELL_TEXT = 0
Const CELL_ALIGNMENT = 2
Const CELL_CHECKBOX = 5
Const CELL_BACKCOLOR = 6
Const CELL_FORECOLOR = 7
Const CELL_FONTBOLD = 13

' Alignment codes (columns and cells).
Const ALIGN_LEFT_CENTER = 1
Const ALIGN_CENTER_CENTER = 4
Const ALIGN_RIGHT_CENTER = 7

' Check box states (CELL_CHECKBOX).
Const CHECK_NONE = 0
Const CHECK_CHECKED = 1
Const CHECK_UNCHECKED = 2

' Column value types use VarType's codes: vbString, vbDouble, vbDate, vbBoolean.

Class DemoGrid
    Private mRows
    Private mCols
    Private mCells          ' "setting:row:col" -> value
    Private mRowHidden      ' row -> True
    Private mColWidth       ' col -> width in twips
    Private mColAlignment   ' col -> ALIGN_*
    Private mColDataType    ' col -> vbString, vbDouble, ...
    Private mWallPaper
    Private mRedraw
    Private mRow
    Private mCol

    Private Sub Class_Initialize()
        mRows = 0
        mCols = 0
        Set mCells = CreateObject("Scripting.Dictionary")
        Set mRowHidden = CreateObject("Scripting.Dictionary")
        Set mColWidth = CreateObject("Scripting.Dictionary")
        Set mColAlignment = CreateObject("Scripting.Dictionary")
        Set mColDataType = CreateObject("Scripting.Dictionary")
        Set mWallPaper = Nothing
        mRedraw = True
        mRow = 0
        mCol = 0
    End Sub

    ' --- size
    Public Property Get Rows()
        Rows = mRows
    End Property
    Public Property Let Rows(value)
        mRows = value
    End Property
    Public Property Get Cols()
        Cols = mCols
    End Property
    Public Property Let Cols(value)
        mCols = value
    End Property
    Public Property Get FixedRows()
        FixedRows = 1               ' the header row
    End Property
    Public Property Get FixedCols()
        FixedCols = 0
    End Property

    ' --- current cell
    Public Property Get Row()
        Row = mRow
    End Property
    Public Property Let Row(value)
        mRow = value
    End Property
    Public Property Get Col()
        Col = mCol
    End Property
    Public Property Let Col(value)
        mCol = value
    End Property

    ' --- cells: a setting nobody stored reads as the grid's default
    Public Property Get Cell(setting, r, c)
        Dim key
        key = setting & ":" & r & ":" & c
        If mCells.Exists(key) Then
            Cell = mCells(key)
        Else
            Select Case setting
                Case CELL_TEXT: Cell = ""
                Case CELL_ALIGNMENT: Cell = Me.ColAlignment(c)
                Case CELL_CHECKBOX: Cell = CHECK_NONE
                Case CELL_BACKCOLOR: Cell = vbWhite
                Case CELL_FORECOLOR: Cell = vbBlack
                Case CELL_FONTBOLD: Cell = False
                Case Else: Cell = Empty
            End Select
        End If
    End Property
    Public Property Let Cell(setting, r, c, value)
        mCells(setting & ":" & r & ":" & c) = value
    End Property

    ' --- rows
    Public Property Get RowHeight(r)
        If r < Me.FixedRows Then RowHeight = 360 Else RowHeight = 285
    End Property
    Public Property Get RowHidden(r)
        RowHidden = mRowHidden.Exists(CLng(r))
    End Property
    Public Property Let RowHidden(r, hidden)
        If hidden Then
            mRowHidden(CLng(r)) = True
        ElseIf mRowHidden.Exists(CLng(r)) Then
            mRowHidden.Remove CLng(r)
        End If
    End Property

    ' --- columns
    Public Property Get ColWidth(c)
        ColWidth = mColWidth(CLng(c))
    End Property
    Public Property Get ColHidden(c)
        ColHidden = False
    End Property
    Public Property Let ColHidden(c, hidden)
        ' Every column of this grid stays visible.
    End Property
    Public Property Get ColAlignment(c)
        ColAlignment = mColAlignment(CLng(c))
    End Property
    Public Property Get ColDataType(c)
        ColDataType = mColDataType(CLng(c))
    End Property
    Public Sub DefineColumn(c, title, width, alignment, dataType)
        If c >= mCols Then mCols = c + 1
        mColWidth(CLng(c)) = width
        mColAlignment(CLng(c)) = alignment
        mColDataType(CLng(c)) = dataType
        Me.Cell(CELL_TEXT, 0, c) = title
    End Sub

    ' No cell of this grid is merged: the engine passes the cell itself in r1, c1, r2, c2,
    ' and leaving them alone says "a block of one cell".
    Public Sub GetMergedRange(r, c, r1, c1, r2, c2)
    End Sub

    ' --- picture and drawing
    Public Property Get WallPaper()
        Set WallPaper = mWallPaper
    End Property
    Public Property Set WallPaper(picture)
        Set mWallPaper = picture
    End Property
    Public Property Get Redraw()
        Redraw = mRedraw
    End Property
    Public Property Let Redraw(value)
        mRedraw = value
    End Property
End Class

' Fills the grid: one header row, six orders, one of them hidden.
Function BuildOrderGrid()
    Dim grid, orders, r, c, order
    Set grid = New DemoGrid

    grid.DefineColumn 0, "Item", 2400, ALIGN_LEFT_CENTER, vbString
    grid.DefineColumn 1, "Quantity", 1000, ALIGN_RIGHT_CENTER, vbDouble
    grid.DefineColumn 2, "Unit price", 1100, ALIGN_RIGHT_CENTER, vbDouble
    grid.DefineColumn 3, "Delivered", 1300, ALIGN_CENTER_CENTER, vbDate
    grid.DefineColumn 4, "Paid", 700, ALIGN_CENTER_CENTER, vbBoolean

    ' item, quantity, unit price, delivery date, paid
    orders = Array( _
        Array("Brass hinges", "120", "0.85", "2024-03-04", True), _
        Array("Oak boards 2m", "40", "12.50", "2024-03-05", True), _
        Array("Wood screws (box)", "15", "4.20", "2024-03-07", False), _
        Array("Internal transfer", "-3", "0.00", "2024-03-07", False), _
        Array("Linseed oil 1l", "8", "9.90", "2024-03-11", False), _
        Array("Sandpaper assortment", "25", "3.15", "2024-03-12", True))

    grid.Rows = UBound(orders) + 2
    For c = 0 To grid.Cols - 1
        grid.Cell(CELL_BACKCOLOR, 0, c) = RGB(31, 78, 121)
        grid.Cell(CELL_FORECOLOR, 0, c) = vbWhite
        grid.Cell(CELL_FONTBOLD, 0, c) = True
    Next

    For r = 1 To grid.Rows - 1
        order = orders(r - 1)
        For c = 0 To 3
            grid.Cell(CELL_TEXT, r, c) = order(c)
        Next
        ' A Boolean column shows a check box and no text.
        If order(4) Then
            grid.Cell(CELL_CHECKBOX, r, 4) = CHECK_CHECKED
        Else
            grid.Cell(CELL_CHECKBOX, r, 4) = CHECK_UNCHECKED
        End If
        If r Mod 2 = 0 Then
            For c = 0 To grid.Cols - 1
                grid.Cell(CELL_BACKCOLOR, r, c) = RGB(235, 241, 247)
            Next
        End If
        If Not order(4) Then grid.Cell(CELL_FORECOLOR, r, 2) = RGB(192, 0, 0)   ' unpaid price in red
    Next

    ' The internal transfer is bookkeeping, not an order: hidden from the user.
    grid.RowHidden(4) = True

    Set BuildOrderGrid = grid
End Function

' Creates a folder and any missing parents.
Sub EnsureFolder(fso, ByVal path)
    If fso.FolderExists(path) Then Exit Sub
    EnsureFolder fso, fso.GetParentFolderName(path)
    fso.CreateFolder path
End Sub

Function Padded(text, width)
    Padded = Left(text & Space(width), width)
End Function

' ---------------------------------------------------------------------------------------

Dim fso, folder, engine, grid, methods, method, target, ok, outcome

If WScript.Arguments.Count < 1 Then
    WScript.Echo "usage: cscript //nologo demo.vbs OUTPUT-FOLDER [GRID-FILE]"
    WScript.Quit 1
End If

Set fso = CreateObject("Scripting.FileSystemObject")
folder = WScript.Arguments(0)
EnsureFolder fso, folder

Set engine = CreateObject("TarnwickExports7.Engine")
WScript.Echo engine.Name & " " & engine.Version & " (" & engine.DLL & ")"
WScript.Echo ""

' Describe the document once; the engine hands these options to every exporter.
engine.ProgramName = "Order list demo"
engine.ProgramVersion = "1.0"
engine.Title = "Orders"
engine.SubTitle = "Week 10"
engine.Footer = "Exported by demo.vbs"

' Export without any dialog: no method choice, no column choice (all columns, unless
' ColumnList names some, e.g. engine.ColumnList = "0,1,4"), no file name choice.
engine.Quiet = True
engine.SkipFieldSelection = True
engine.SkipFilenameSelection = True

If WScript.Arguments.Count >= 2 Then
    Set grid = CreateObject("ExportTestHost.Grid")
    grid.LoadFromFile WScript.Arguments(1)
Else
    Set grid = BuildOrderGrid()
End If

' Method name and the extension of the file it writes.
methods = Array(Array("CSV", "csv"), Array("TXT", "txt"), Array("HTML", "html"), Array("MHTML", "mhtml"), _
                Array("XLS", "xls"), Array("PDF", "pdf"), Array("PNG", "png"), Array("GIF", "gif"), _
                Array("JPEG", "jpg"), Array("BMP", "bmp"))

For Each method In methods
    target = fso.BuildPath(folder, "demo." & method(1))
    engine.TargetFilename = target

    On Error Resume Next
    ok = engine.ExportTable(grid, method(0))
    If Err.Number <> 0 Then
        outcome = "error " & Err.Number & ": " & Err.Description
    Else
        outcome = Padded(CStr(ok), 5)
    End If
    Err.Clear
    On Error GoTo 0

    WScript.Echo Padded(method(0), 8) & " -> " & outcome & "  " & target
Next

' A chart as pictures, and as an MHTML page that carries its picture: the engine has the
' chart draw itself on white at its own size (its Width and Height in twips, 15 to a pixel:
' 600 x 400 here) and converts the drawing. The chart's own background colour is put back
' afterwards.
Dim chart
If WScript.Arguments.Count >= 2 Then
    Set chart = CreateObject("ExportTestHost.Chart")
    chart.Width = 9000
    chart.Height = 6000
    chart.DeskColor = RGB(240, 240, 232)
    methods = Array(Array("PNG", "png"), Array("GIF", "gif"), Array("JPEG", "jpg"), Array("MHTML", "mhtml"), _
                    Array("PDF", "pdf"))
    For Each method In methods
        target = fso.BuildPath(folder, "demo-chart." & method(1))
        engine.TargetFilename = target
        On Error Resume Next
        ok = engine.ExportChart(chart, method(0))
        If Err.Number <> 0 Then outcome = "error " & Err.Number & ": " & Err.Description Else outcome = Padded(CStr(ok), 5)
        Err.Clear
        On Error GoTo 0
        WScript.Echo Padded(method(0), 8) & " -> " & outcome & "  " & target
    Next
End If

' Documents handed over as one string: RTF kept as markup in an .rtf file, or read as
' plain text into a .txt file, or printed onto the pages of a PDF file; plain text as it is.
Const REPORT_RTF = "{\rtf1\ansi{\fonttbl\f0\fswiss Arial;}{\colortbl ;\red192\green0\blue0;}\f0\fs24 Orders {\b week 10}\par\cf1 Two deliveries are late.\cf0\par}"
Dim documents, document
documents = Array(Array("RTF", "demo-document.rtf", REPORT_RTF, "RTF"), _
                  Array("RTF", "demo-document-plain.txt", REPORT_RTF, "RTF"), _
                  Array("RTF", "demo-document.pdf", REPORT_RTF, "PDF"), _
                  Array("TXT", "demo-note.txt", "Orders, week 10" & vbCrLf & "Two deliveries are late.", "TXT"))
For Each document In documents
    target = fso.BuildPath(folder, document(1))
    engine.TargetFilename = target
    On Error Resume Next
    If document(0) = "RTF" Then ok = engine.ExportRTF(document(2), document(3)) Else ok = engine.ExportText(document(2), document(3))
    If Err.Number <> 0 Then outcome = "error " & Err.Number & ": " & Err.Description Else outcome = Padded(CStr(ok), 5)
    Err.Clear
    On Error GoTo 0
    WScript.Echo Padded(document(0), 8) & " -> " & outcome & "  " & target
Next
