' Labels: Caption and Change (raised only for a new text), automatic sizing that keeps the
' right edge, an ellipsis, and MouseEnter / MouseLeave as the pointer comes and goes.
'   formscript.exe label.layout label.vbs         (a demonstration)
'   formscript.exe label.layout label.vbs stay    (then point at the first label yourself)
Dim changes

Sub lblRight_Change
    changes = changes + 1
End Sub

Sub lblHello_MouseEnter
    lblHello.Caption = "Hello, pointer"
End Sub

Sub lblHello_MouseLeave
    lblHello.Caption = "Point at me"
End Sub

changes = 0
Form.Show
lblRight.Caption = "Right, and a little longer"
lblRight.Caption = "Right, and a little longer"
Host.Echo "changes:", changes
Host.Echo "right edge:", lblRight.Left + lblRight.Width
lblRight.EllipsisFormat = 1
lblRight.AutoSize = False
lblRight.Width = 1200
lblRight.Refresh
Host.Echo "shown:", lblRight.DisplayedCaption
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Quit 0
End If
