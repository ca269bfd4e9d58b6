// Check boxes from JScript: Click events, Value, keyboard and mouse.
//   formscript.exe check-box.layout check-box.js         (a demonstration)
//   formscript.exe check-box.layout check-box.js stay    (then yours to click)
function Describe() {
    var parts = [];
    if (chkBold.Value == 1) parts.push("bold");
    if (chkItalic.Value == 1) parts.push("italic");
    Form.Caption = "Check boxes: " + (parts.length ? parts.join(", ") : "plain");
}

function Form_Load() { Describe(); }
function chkBold_Click() { Describe(); }
function chkItalic_Click() { Describe(); }

Form.Show();
Host.Click(chkBold);
Host.Echo(Form.Caption);
Host.SendKeys(" ");          // the focused box: Bold again
Host.SendKeys("%i");         // Alt+I: the access key of Italic
Host.Echo(Form.Caption);
try {
    chkBold.Value = 5;
} catch (e) {
    Host.Echo("refused:", e.number & 0xFFFF, e.description);
}
if (Host.Arguments.Count > 0) {
    Form.Show(1);
} else {
    Host.Pump(300);
    Host.Quit(0);
}
