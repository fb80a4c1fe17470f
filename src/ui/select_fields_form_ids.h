// Resource identifiers of the field and method selection dialog, shared by the resource
// script and the code. Each control id carries the control's name.
#pragma once

#define IDD_SelectFieldsForm 200

// The buttons are the dialog's OK and Cancel, so Enter, Escape and the close box reach them.
#define IDC_cmdOK IDOK
#define IDC_cmdCancel IDCANCEL
#define IDC_FieldList 201
#define IDC_ExportFilenameLabel 202
#define IDC_TargetFilename 203
#define IDC_ExportMethodLabel 204
#define IDC_ExportMethod 205
