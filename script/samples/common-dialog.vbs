' The common dialog: a file name typed into the open dialog, the colour dialog cancelled.
'   formscript.exe common-dialog.layout common-dialog.vbs         (a demonstration)
'   formscript.exe common-dialog.layout common-dialog.vbs stay    (then yours to press)

Sub Form_Load
    ' The dialog object keeps nothing in the layout: it is set up here.
    dlgAsk.DialogTitle = "Choose a file"
    dlgAsk.Filter = "Text (*.txt)|*.txt|All files|*.*"
    dlgAsk.CancelError = True
End Sub

' Shows the file dialog; answers what was chosen, or the error's text when it was cancelled.
Function AskFile()
    On Error Resume Next
    dlgAsk.ShowOpen
    If Err.Number = 0 Then AskFile = dlgAsk.FileName Else AskFile = Err.Number & " " & Err.Description
End Function

Function AskColour()
    On Error Resume Next
    dlgAsk.ShowColor
    If Err.Number = 0 Then AskColour = "colour " & dlgAsk.Color Else AskColour = Err.Number & " " & Err.Description
End Function

Sub cmdOpen_Click
    lblChoice.Caption = AskFile()
End Sub

Sub cmdColour_Click
    lblChoice.Caption = AskColour()
End Sub

Form.Show
' The keys go to the next dialog box once it is shown.
Host.DialogKeys "{ESC}"
lblChoice.Caption = AskColour()
Host.Echo "colour:", lblChoice.Caption
Host.DialogKeys "C:\x.txt~"
lblChoice.Caption = AskFile()
Host.Echo "open:", lblChoice.Caption, dlgAsk.FileTitle
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Quit 0
End If
