' The rich text box's General property page, through Host.ShowPropertyPages.
'   formscript.exe property-page.layout property-page.vbs         (a demonstration)
'   formscript.exe property-page.layout property-page.vbs stay    (the page is yours)
rtbDemo.Text = "Written before the page opened."
Form.Show
Host.Echo "before: Locked", rtbDemo.Locked, "MaxLength", rtbDemo.MaxLength
If Host.Arguments.Count = 0 Then
    ' Alt+L ticks Locked; in Max length, typed letters are dropped and digits kept; Return
    ' is OK, which applies.
    Host.DialogKeys "%l%m12ab3~"
End If
ok = Host.ShowPropertyPages(rtbDemo)
Host.Echo "OK:", ok
Host.Echo "after: Locked", rtbDemo.Locked, "MaxLength", rtbDemo.MaxLength
Host.Echo "content kept:", rtbDemo.Text
If Host.Arguments.Count > 0 Then
    Form.Show 1
Else
    Host.Quit 0
End If
