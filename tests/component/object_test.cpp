// The binary contract of the component, through its exports as a host sees
// them: class object, objects, interfaces, type information and unloading.
#include "module_copy.h"

#include <gtest/gtest.h>

using namespace zarn::test;

namespace {

const IID IID_IDispatch = {
    0x00020400, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

QString text(BSTR s)
{
    return s ? QString::fromUtf16(s, SysStringLen(s)) : QStringLiteral("<null>");
}

TEST(ComponentObject, ClassObjectOnlyForItsClassAndNoAggregation)
{
    ModuleCopy m;
    void *p = reinterpret_cast<void *>(1);
    EXPECT_EQ(m.getClassObject()(&IID_IZarndjdcbshow, &IID_IClassFactory, &p),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IZarndjdcbshow, &p), E_NOINTERFACE);
    EXPECT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IClassFactory, nullptr), E_POINTER);

    ASSERT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IClassFactory, &p), S_OK);
    auto *factory = static_cast<IClassFactory *>(p);
    void *object = reinterpret_cast<void *>(1);
    // Any outer object is refused before it is used.
    EXPECT_EQ(
        factory->CreateInstance(reinterpret_cast<IUnknown *>(factory), &IID_IUnknown, &object),
        CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    // A refused interface leaves no object behind.
    EXPECT_EQ(factory->CreateInstance(nullptr, &IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m.canUnloadNow()(), S_OK);

    // Each creation is a new object.
    void *a = nullptr, *b = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, &IID_IUnknown, &a), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, &IID_IUnknown, &b), S_OK);
    EXPECT_NE(a, b);
    static_cast<IUnknown *>(a)->Release();
    static_cast<IUnknown *>(b)->Release();
    factory->Release();
}

TEST(ComponentObject, AnswersItsFourInterfacesWithOneIdentity)
{
    ModuleCopy m;
    IZarndjdcbshow *show = m.create();
    void *unknown = nullptr, *again = nullptr, *errorInfo = nullptr, *classInfo = nullptr,
         *none = reinterpret_cast<void *>(1);
    ASSERT_EQ(show->QueryInterface(&IID_IUnknown, &unknown), S_OK);
    ASSERT_EQ(show->QueryInterface(&IID_ISupportErrorInfo, &errorInfo), S_OK);
    ASSERT_EQ(show->QueryInterface(&IID_IProvideClassInfo, &classInfo), S_OK);
    EXPECT_EQ(show->QueryInterface(&IID_IDispatch, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(show->QueryInterface(&IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(show->QueryInterface(&IID_IUnknown, nullptr), E_POINTER);

    // Every interface leads back to the same IUnknown and to IZarndjdcbshow.
    auto *support = static_cast<ISupportErrorInfo *>(errorInfo);
    ASSERT_EQ(support->QueryInterface(&IID_IUnknown, &again), S_OK);
    EXPECT_EQ(again, unknown);
    static_cast<IUnknown *>(again)->Release();
    ASSERT_EQ(static_cast<IUnknown *>(classInfo)->QueryInterface(&IID_IZarndjdcbshow, &again),
              S_OK);
    EXPECT_EQ(again, static_cast<void *>(show));
    static_cast<IUnknown *>(again)->Release();

    EXPECT_EQ(support->InterfaceSupportsErrorInfo(&IID_IZarndjdcbshow), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(&IID_IUnknown), S_FALSE);

    static_cast<IUnknown *>(unknown)->Release();
    support->Release();
    static_cast<IUnknown *>(classInfo)->Release();
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE); // `show` is still held
    show->Release();
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
}

TEST(ComponentObject, ClassInfoNamesTheClass)
{
    ModuleCopy m;
    IZarndjdcbshow *show = m.create();
    void *p = nullptr;
    ASSERT_EQ(show->QueryInterface(&IID_IProvideClassInfo, &p), S_OK);
    auto *provide = static_cast<IProvideClassInfo *>(p);
    ITypeInfo *info = nullptr;
    ASSERT_EQ(provide->GetClassInfo(&info), S_OK);
    provide->Release();
    show->Release();
    // The type information is an object of the module too.
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);

    TYPEATTR *attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->guid == CLSID_Zarndjdcbshow);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->cImplTypes, 1);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0x0409u);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    info->ReleaseTypeAttr(attr);

    BSTR name = nullptr, doc = nullptr;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, &doc, nullptr, nullptr), S_OK);
    EXPECT_EQ(text(name), "Zarndjdcbshow");
    EXPECT_EQ(text(doc), "Zarndjdcbshow");
    SysFreeString(name);
    SysFreeString(doc);
    EXPECT_EQ(info->GetDocumentation(0x65, &name, nullptr, nullptr, nullptr),
              TYPE_E_ELEMENTNOTFOUND);
    EXPECT_EQ(name, nullptr);

    void *comp = reinterpret_cast<void *>(1);
    EXPECT_EQ(info->GetTypeComp(&comp), E_NOTIMPL);
    EXPECT_EQ(comp, nullptr);
    EXPECT_EQ(info->GetContainingTypeLib(nullptr, nullptr), E_NOTIMPL);

    // The type information can create the class it describes.
    void *created = nullptr;
    ASSERT_EQ(info->CreateInstance(nullptr, &IID_IZarndjdcbshow, &created), S_OK);
    static_cast<IUnknown *>(created)->Release();

    info->Release();
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
}

TEST(ComponentObject, ServerLocksKeepTheModuleLoaded)
{
    ModuleCopy m;
    void *p = nullptr;
    ASSERT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IClassFactory, &p), S_OK);
    auto *factory = static_cast<IClassFactory *>(p);
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
    factory->LockServer(1);
    factory->LockServer(1);
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);
    factory->LockServer(0);
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);
    factory->LockServer(0);
    EXPECT_EQ(m.canUnloadNow()(), S_OK);
    // One unlock too many must not cancel a later lock.
    factory->LockServer(0);
    factory->LockServer(1);
    EXPECT_EQ(m.canUnloadNow()(), S_FALSE);
    factory->LockServer(0);
    factory->Release();
}

} // namespace
