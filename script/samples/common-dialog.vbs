' The common dialog: a file name typed into the open dialog, the colour dialog cancelled.
'   formscript.exe common-dialog.layout common-dialog.vbs         (a demonstration)
'   formscript.exe common-dialog.layout common-dialog.vbs stay    (then yours to press)

' Shows the file dialog; answers what was chosen, or the error's text when it was cancelled.
Function AskFile()
    On Error Resume Next
    dlgAsk.CancelError = True
    dlgAsk.ShowOpen
    If Err.Number = 0 Then AskFile = dlgAsk.FileName Else AskFile = Err.Number & " " & Err.Description
End Function

Function AskColour()
    On Error Resume Next
    dlgAsk.CancelError = True
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
Host.DialogKeys "C:\x.txt~"
Host.Echo "open:", AskFile(), dlgAsk.FileTitle
Host.DialogKeys "{ESC}"
Host.Echo "colour:", AskColour()
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Quit 0
End If
