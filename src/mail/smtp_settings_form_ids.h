// Resource identifiers of the SMTP settings dialog, shared by the resource script and the
// code. Each control id carries the control's name.
#pragma once

#define IDD_HTMLEmailConfigForm 300

// The buttons are the dialog's OK and Cancel, so Enter, Escape and the close box reach them.
#define IDC_SmtpCmdOK IDOK
#define IDC_SmtpCmdCancel IDCANCEL
#define IDC_Label11 301
#define IDC_SMTPHostname 302
#define IDC_Label12 303
#define IDC_SMTPPortNumber 304
#define IDC_chkSMTPAuth 305
#define IDC_SMTPAuthFrame 306
#define IDC_Label14 307
#define IDC_SMTPAuthUserName 308
#define IDC_Label16 309
#define IDC_SMTPAuthPassword 310
#define IDC_Label18 311
#define IDC_VerifyPassword 312
