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

// (Wrong class, aggregation and the plain queries are also checked from C.)
TEST(ComponentObject, NewObjectPerCreationWithOneIdentityAcrossItsInterfaces)
{
    ModuleCopy m;
    void *p = nullptr;
    EXPECT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IZarndjdcbshow, &p), E_NOINTERFACE);
    ASSERT_EQ(m.getClassObject()(&CLSID_Zarndjdcbshow, &IID_IClassFactory, &p), S_OK);
    auto *factory = static_cast<IClassFactory *>(p);
    // A refused interface leaves no object behind.
    void *object = reinterpret_cast<void *>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, &IID_IDispatch, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(m.canUnloadNow()(), S_OK);

    void *a = nullptr, *b = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, &IID_IZarndjdcbshow, &a), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, &IID_IUnknown, &b), S_OK);
    factory->Release();
    auto *show = static_cast<IZarndjdcbshow *>(a);
    void *unknown = nullptr, *again = nullptr, *errorInfo = nullptr, *classInfo = nullptr;
    ASSERT_EQ(show->QueryInterface(&IID_IUnknown, &unknown), S_OK);
    EXPECT_NE(unknown, b);
    ASSERT_EQ(show->QueryInterface(&IID_ISupportErrorInfo, &errorInfo), S_OK);
    ASSERT_EQ(show->QueryInterface(&IID_IProvideClassInfo, &classInfo), S_OK);
    EXPECT_EQ(show->QueryInterface(&IID_IUnknown, nullptr), E_POINTER);

    // Every interface leads back to the same IUnknown and to IZarndjdcbshow.
    auto *support = static_cast<ISupportErrorInfo *>(errorInfo);
    ASSERT_EQ(support->QueryInterface(&IID_IUnknown, &again), S_OK);
    EXPECT_EQ(again, unknown);
    static_cast<IUnknown *>(again)->Release();
    ASSERT_EQ(static_cast<IUnknown *>(classInfo)->QueryInterface(&IID_IZarndjdcbshow, &again),
              S_OK);
    EXPECT_EQ(again, a);
    static_cast<IUnknown *>(again)->Release();
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(&IID_IZarndjdcbshow), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(&IID_IUnknown), S_FALSE);

    for (void *i : {unknown, errorInfo, classInfo, b})
        static_cast<IUnknown *>(i)->Release();
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
