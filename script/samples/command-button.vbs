' Command buttons: Click events, Caption, the default (Return) and cancel (Escape) buttons.
'   formscript.exe command-button.layout command-button.vbs         (a demonstration)
'   formscript.exe command-button.layout command-button.vbs stay    (then yours to press)
Dim count

Sub Form_Load
    count = 0
End Sub

Sub cmdCount_Click
    count = count + 1
    cmdCount.Caption = "&Count: " & count
End Sub

Sub cmdClose_Click
    Form.Hide
End Sub

Form.Show
Host.Click cmdCount
Host.Click cmdCount
Host.SendKeys "~"
Host.Echo cmdCount.Caption
' Output arguments come back in the script's variables. Common controls older than version 6
' have no ideal size: then both stay as they were passed.
Dim idealWidth, idealHeight
idealWidth = -1
idealHeight = -1
cmdCount.GetIdealSize idealWidth, idealHeight
If Not ((idealWidth = -1 And idealHeight = -1) Or (idealWidth > 0 And idealHeight > 0)) Then
    Err.Raise 5, , "GetIdealSize gave " & idealWidth & " x " & idealHeight
End If
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Pump 300
    Host.SendKeys "{ESC}"
    Host.Echo "visible after Escape:", Form.Visible
    Host.Quit 0
End If
