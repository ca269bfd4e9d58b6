' Rich text box: RTF in and out, typing, Locked, ScrollBars.
'   formscript.exe rich-text.layout rich-text.vbs         (a demonstration)
'   formscript.exe rich-text.layout rich-text.vbs stay    (then yours to edit)
Sub cmdLock_Click
    rtbNotes.Locked = Not rtbNotes.Locked
    If rtbNotes.Locked Then cmdLock.Caption = "Un&lock" Else cmdLock.Caption = "&Lock"
End Sub

rtbNotes.TextRTF = "{\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0\fs24 {\b Notes} written by a script.\par }"
Form.Show
rtbNotes.SetFocus
Host.SendKeys "^{END}Typed as keys."
Host.Echo Host.WindowText(Host.FocusedWindow)
Host.Click cmdLock
Host.Echo "locked:", rtbNotes.Locked, "scroll bars:", rtbNotes.ScrollBars
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Pump 300
    Host.Quit 0
End If
