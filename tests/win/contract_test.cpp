// The exporter contract and the engine's interface as compiled clients see them: member
// order in the vtable, parameter passing, the options each exporter keeps, and results.
#include "component.h"

#include <vector>

namespace tarn::test {
namespace {

struct Member {
    std::wstring name;
    INVOKEKIND kind;
    std::vector<USHORT> paramFlags;  // without the retval parameter
};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;

// The fixed slot order of _ExportMEthod: eight operations, then Get/Let per option.
std::vector<Member> ContractMembers() {
    std::vector<Member> m{
        {L"ExportTable", INVOKE_FUNC, {kInOut}},   {L"ExportChart", INVOKE_FUNC, {kInOut}},
        {L"ExportPicture", INVOKE_FUNC, {kInOut}}, {L"ExportEMFFile", INVOKE_FUNC, {kIn}},
        {L"ExportImageFile", INVOKE_FUNC, {kIn}},  {L"ExportMap", INVOKE_FUNC, {kInOut}},
        {L"ExportRTF", INVOKE_FUNC, {kIn}},        {L"ExportText", INVOKE_FUNC, {kIn}},
    };
    const std::pair<const wchar_t*, bool> options[] = {
        {L"ProgramName", false}, {L"ProgramVersion", false}, {L"Title", false},
        {L"SubTitle", false},    {L"Paragraph", false},      {L"Footer", false},
        {L"Orientation", false}, {L"ImageHeight", false},    {L"ImageWidth", false},
        {L"TargetFilename", false}, {L"InitDir", false},     {L"ImageFormat", false},
        {L"ColumnList", false},  {L"SkipFilenameSelection", true}, {L"FileFormat", true},
        {L"Quiet", true},        {L"DefaultPrinter", true},
    };
    for (auto [name, byRef] : options) {
        m.push_back({name, INVOKE_PROPERTYGET, {}});
        m.push_back({name, INVOKE_PROPERTYPUT, {byRef ? kInOut : kIn}});
    }
    return m;
}

// Reads the members of a vtable interface in slot order, after IDispatch's seven.
std::vector<Member> CompiledMembers(REFIID iid) {
    ComPtr<ITypeLib> lib;
    EXPECT_EQ(LoadTypeLibEx(TheComponent().path.c_str(), REGKIND_NONE, &lib), S_OK);
    ComPtr<ITypeInfo> info, vtable;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(iid, &info), S_OK);
    HREFTYPE ref = 0;
    EXPECT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK) << "interface is not dual";
    EXPECT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
    TYPEATTR* attr = nullptr;
    vtable->GetTypeAttr(&attr);
    std::vector<Member> members(attr->cFuncs);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* f = nullptr;
        vtable->GetFuncDesc(i, &f);
        unique_bstr name;
        vtable->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr);
        size_t slot = (f->oVft / sizeof(void*)) - 7;
        EXPECT_LT(slot, members.size());
        if (slot < members.size()) {
            Member& m = members[slot];
            m.name = name.str();
            m.kind = f->invkind;
            for (SHORT p = 0; p < f->cParams; ++p) {
                USHORT flags = f->lprgelemdescParam[p].paramdesc.wParamFlags;
                if (!(flags & PARAMFLAG_FRETVAL)) m.paramFlags.push_back(flags & (PARAMFLAG_FIN | PARAMFLAG_FOUT));
            }
        }
        vtable->ReleaseFuncDesc(f);
    }
    vtable->ReleaseTypeAttr(attr);
    return members;
}

using ContractTest = ComTest;

TEST_F(ContractTest, ExporterInterfaceHasTheFixedSlotOrderAndPassing) {
    auto expected = ContractMembers();
    auto compiled = CompiledMembers(__uuidof(_ExportMEthod));
    ASSERT_EQ(compiled.size(), expected.size());
    for (size_t slot = 0; slot < expected.size(); ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot + 1));
        EXPECT_EQ(compiled[slot].name, expected[slot].name);
        EXPECT_EQ(compiled[slot].kind, expected[slot].kind);
        EXPECT_EQ(compiled[slot].paramFlags, expected[slot].paramFlags);
    }
}

TEST_F(ContractTest, EngineInterfaceListsItsMembersInOrder) {
    const wchar_t* order[] = {
        L"ExportMethods", L"SendToMethods", L"ExportTable", L"ExportChart", L"ExportMap", L"ExportPicture",
        L"ExportEMFFile", L"ExportImageFile", L"ExportRTF", L"ExportText", L"SendTo", L"ProgramName",
        L"ProgramVersion", L"Title", L"SubTitle", L"Paragraph", L"Footer", L"Orientation", L"ImageHeight",
        L"ImageWidth", L"TargetFilename", L"InitDir", L"ImageFormat", L"SelectMethod", L"SkipFilenameSelection",
        L"SkipFieldSelection", L"ColumnList", L"FileFormat", L"Quiet", L"DefaultPrinter", L"Name", L"DLL",
        L"Version"};
    auto compiled = CompiledMembers(__uuidof(_Engine));
    std::vector<std::wstring> distinct;
    for (const Member& m : compiled)
        if (distinct.empty() || distinct.back() != m.name) distinct.push_back(m.name);
    ASSERT_EQ(distinct.size(), std::size(order));
    for (size_t i = 0; i < distinct.size(); ++i) EXPECT_EQ(distinct[i], order[i]) << i;
    // Read-only members have no Let; the by-reference parameters are marked in/out.
    for (const Member& m : compiled) {
        std::wstring name = m.name;
        SCOPED_TRACE(Narrow(name));
        if (name == L"Name" || name == L"DLL" || name == L"Version") {
            EXPECT_EQ(m.kind, INVOKE_PROPERTYGET);
        } else if (name == L"ExportTable") {
            EXPECT_EQ(m.paramFlags, (std::vector<USHORT>{kInOut, kIn}));
        } else if (name == L"ExportChart" || name == L"SendTo" || name == L"ExportEMFFile") {
            EXPECT_EQ(m.paramFlags, (std::vector<USHORT>{kInOut, kInOut}));
        } else if (name == L"ExportRTF") {
            EXPECT_EQ(m.paramFlags, (std::vector<USHORT>{kIn, kInOut}));
        } else if (name == L"ExportMethods") {
            EXPECT_EQ(m.paramFlags, (std::vector<USHORT>{kInOut}));
        }
    }
}

// Calls through raw vtable slots, as a compiled client built against the contract does.
template <class Fn>
Fn Slot(void* object, int slot) {
    return reinterpret_cast<Fn>((*reinterpret_cast<void***>(object))[7 + slot - 1]);
}
using PutText = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR);
using GetText = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
using PutTextRef = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR*);
using PutLong = HRESULT(STDMETHODCALLTYPE*)(void*, LONG);
using GetLong = HRESULT(STDMETHODCALLTYPE*)(void*, LONG*);
using Operation = HRESULT(STDMETHODCALLTYPE*)(void*, BSTR, VARIANT_BOOL*);

std::wstring ReadSlot(void* e, int slot) {
    unique_bstr value;
    EXPECT_EQ(Slot<GetText>(e, slot)(e, value.put()), S_OK);
    return value.str();
}

TEST_F(ContractTest, EachExporterKeepsOrDropsItsOptionsThroughTheSlots) {
    struct Expectation {
        const CLSID* clsid;
        const char* name;
        bool keepsFile;   // TargetFilename, InitDir, FileFormat
        bool keepsImage;  // ImageFormat, ImageHeight, ImageWidth
    };
    const Expectation classes[] = {
        {&__uuidof(::ExportMEthod), "ExportMethod", true, true}, {&__uuidof(::ExportCSV), "ExportCSV", true, true},
        {&__uuidof(::ExportTXT), "ExportTXT", true, true},       {&__uuidof(::ExportHTML), "ExportHTML", true, true},
        {&__uuidof(::ExportMHTML), "ExportMHTML", true, true},   {&__uuidof(::ExportXLS), "ExportXLS", true, true},
        {&__uuidof(::ExportImage), "ExportImage", true, true},   {&__uuidof(::ExportPDF), "ExportPDF", true, false},
        {&__uuidof(::ExportPrinter), "ExportPrinter", false, false},
    };
    for (const Expectation& c : classes) {
        SCOPED_TRACE(c.name);
        auto exporter = Create<_ExportMEthod>(*c.clsid);
        ASSERT_TRUE(exporter);
        void* e = exporter.Get();
        // Text options by value: Title (13/14), TargetFilename (27/28), ImageFormat (31/32), ColumnList (33/34).
        Slot<PutText>(e, 14)(e, unique_bstr(L"Sales").get());
        Slot<PutText>(e, 28)(e, unique_bstr(L"C:\\out\\a.csv").get());
        Slot<PutText>(e, 30)(e, unique_bstr(L"C:\\out").get());
        Slot<PutText>(e, 32)(e, unique_bstr(L"GIF").get());
        Slot<PutText>(e, 34)(e, unique_bstr(L"0").get());
        // By reference: FileFormat (37/38), DefaultPrinter (41/42).
        unique_bstr format(L"CSV"), printer(L"Laser");
        BSTR formatRaw = format.get(), printerRaw = printer.get();
        Slot<PutTextRef>(e, 38)(e, &formatRaw);
        Slot<PutTextRef>(e, 42)(e, &printerRaw);
        EXPECT_EQ(formatRaw, format.get()) << "a by-reference Let never writes back";
        Slot<PutLong>(e, 24)(e, 480);  // ImageHeight
        Slot<PutLong>(e, 26)(e, 640);  // ImageWidth

        EXPECT_EQ(ReadSlot(e, 13), L"Sales");
        EXPECT_EQ(ReadSlot(e, 33), L"0") << "exporters store the column list unchanged";
        EXPECT_EQ(ReadSlot(e, 41), L"Laser");
        EXPECT_EQ(ReadSlot(e, 27), c.keepsFile ? L"C:\\out\\a.csv" : L"");
        EXPECT_EQ(ReadSlot(e, 29), c.keepsFile ? L"C:\\out" : L"");
        EXPECT_EQ(ReadSlot(e, 37), c.keepsFile ? L"CSV" : L"");
        EXPECT_EQ(ReadSlot(e, 31), c.keepsImage ? L"GIF" : L"");
        LONG height = -1, width = -1;
        Slot<GetLong>(e, 23)(e, &height);
        Slot<GetLong>(e, 25)(e, &width);
        EXPECT_EQ(height, c.keepsImage ? 480 : 0);
        EXPECT_EQ(width, c.keepsImage ? 640 : 0);

        VARIANT_BOOL skip = VARIANT_TRUE;
        exporter->put_SkipFilenameSelection(&skip);
        VARIANT_BOOL read = VARIANT_FALSE;
        exporter->get_SkipFilenameSelection(&read);
        EXPECT_EQ(read, c.keepsFile ? VARIANT_TRUE : VARIANT_FALSE);

        // ExportRTF is slot 7 and ExportText slot 8; nothing is exported yet by any class
        // here except through its own format code, and maps never.
        VARIANT_BOOL result = VARIANT_TRUE;
        IDispatch* none = nullptr;
        EXPECT_EQ(exporter->ExportMap(&none, &result), S_OK);
        EXPECT_EQ(result, VARIANT_FALSE);
    }
}

TEST_F(ContractTest, TheContractClassExportsNothingAndFreshObjectsStartEmpty) {
    auto exporter = Create<_ExportMEthod>(__uuidof(::ExportMEthod));
    ASSERT_TRUE(exporter);
    void* e = exporter.Get();
    for (int slot : {4, 5, 7, 8}) {  // the operations taking text
        VARIANT_BOOL result = VARIANT_TRUE;
        EXPECT_EQ(Slot<Operation>(e, slot)(e, unique_bstr(L"x").get(), &result), S_OK) << slot;
        EXPECT_EQ(result, VARIANT_FALSE) << slot;
    }
    IDispatch* object = nullptr;
    IPictureDisp* picture = nullptr;
    VARIANT_BOOL result = VARIANT_TRUE;
    EXPECT_EQ(exporter->ExportTable(&object, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    result = VARIANT_TRUE;
    EXPECT_EQ(exporter->ExportChart(&object, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);
    result = VARIANT_TRUE;
    EXPECT_EQ(exporter->ExportPicture(&picture, &result), S_OK);
    EXPECT_EQ(result, VARIANT_FALSE);

    for (int slot = 9; slot <= 41; slot += 2) {
        if (slot == 21 || slot == 23 || slot == 25 || slot == 35 || slot == 39) continue;  // not text
        EXPECT_EQ(ReadSlot(e, slot), L"") << slot;
    }
    PrintOrientation orientation = PrintLandScape;
    LONG height = -1;
    VARIANT_BOOL quiet = VARIANT_TRUE;
    exporter->get_Orientation(&orientation);
    exporter->get_ImageHeight(&height);
    exporter->get_Quiet(&quiet);
    EXPECT_EQ(orientation, PrintPortrait);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(quiet, VARIANT_FALSE);
}

TEST_F(ContractTest, WorkbookAndPrinterClassesCarryTheirOwnSetting) {
    auto xls = Create<_ExportXLS>(__uuidof(::ExportXLS));
    auto printer = Create<_ExportPrinter>(__uuidof(::ExportPrinter));
    ASSERT_TRUE(xls && printer);
    VARIANT_BOOL value = VARIANT_TRUE;
    EXPECT_EQ(xls->get_ShowInExcel(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE);
    VARIANT_BOOL on = VARIANT_TRUE;
    EXPECT_EQ(xls->put_ShowInExcel(&on), S_OK);
    EXPECT_EQ(xls->get_ShowInExcel(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
    EXPECT_EQ(printer->get_Preview(&value), S_OK);
    EXPECT_EQ(value, VARIANT_FALSE);
    EXPECT_EQ(printer->put_Preview(&on), S_OK);
    EXPECT_EQ(printer->get_Preview(&value), S_OK);
    EXPECT_EQ(value, VARIANT_TRUE);
}

}  // namespace
}  // namespace tarn::test
