#include "zarn-db/demo_people.h"

namespace zarn::demo {

namespace {

const QStringList kSurnames = {
    "王", "李", "张", "刘", "陈", "杨", "黄", "赵", "吴", "周", "徐", "孙",   "马",   "朱",
    "胡", "郭", "何", "高", "林", "罗", "郑", "梁", "谢", "宋", "唐", "许",   "韩",   "冯",
    "邓", "曹", "彭", "曾", "肖", "田", "董", "袁", "潘", "于", "蒋", "蔡",   "余",   "杜",
    "叶", "程", "苏", "魏", "吕", "丁", "任", "沈", "姚", "卢", "姜", "崔",   "钟",   "谭",
    "陆", "汪", "范", "金", "石", "廖", "贾", "夏", "韦", "方", "白", "邹",   "孟",   "熊",
    "秦", "邱", "江", "尹", "薛", "段", "雷", "侯", "龙", "史", "陶", "黎",   "贺",   "顾",
    "毛", "郝", "龚", "邵", "万", "钱", "严", "武", "戴", "孔", "汤", "欧阳", "诸葛", "司马"};

const QStringList kGivenChars = {
    "建", "国", "华", "明", "志", "文", "军", "平", "红", "英", "玲", "芳", "丽", "静", "敏",
    "燕", "霞", "秀", "兰", "桂", "海", "波", "涛", "强", "磊", "勇", "杰", "伟", "斌", "鹏",
    "辉", "宇", "浩", "然", "欣", "怡", "佳", "琪", "晨", "阳", "春", "秋", "冬", "梅", "雪",
    "玉", "珍", "凤", "云", "霖", "峰", "俊", "林", "松", "鑫", "楠", "婷", "颖", "倩", "蕾",
    "晶", "洁", "丹", "荣", "庆", "德", "宏", "新", "永", "嘉", "子", "晓", "立", "金", "宁"};

const QStringList kStreets = {
    "中山路",   "北京东路", "珠江路",   "太平北路", "龙蟠中路",   "长江路", "黄埔路",
    "中山东路", "玄武大道", "进香河路", "丹凤街",   "唱经楼西街", "成贤街", "四牌楼",
    "洪武北路", "后宰门街", "孝陵卫街", "红山路",   "板仓街",     "童卫路", "花园路",
    "蓝旗街",   "小营",     "碑亭巷",   "太平门街", "同仁街",     "大悲巷", "吉兆营"};

const QStringList kCompanyPlaces = {"金陵", "紫金", "玄武", "钟山", "长江", "石城",
                                    "秦淮", "龙蟠", "台城", "梅园", "鸡鸣", "北极阁"};
const QStringList kCompanyTrades = {"科技",     "实业",     "贸易",     "置业",     "物业管理",
                                    "建设工程", "电子",     "餐饮管理", "文化传媒", "医药",
                                    "商贸",     "信息技术", "酒店管理", "广告",     "机电设备"};
const QStringList kSchools = {"第一中学", "第十三中学", "外国语学校",
                              "实验小学", "第二幼儿园", "职业技术学校"};
const QStringList kOffices = {"住房和城乡建设局", "教育局",     "卫生健康委员会", "文化和旅游局",
                              "市场监督管理局",   "城市管理局", "民政局",         "档案馆"};
const QStringList kPostcodes = {"210008", "210016", "210018", "210042", "210095"};
const QStringList kMobilePrefixes = {"133", "135", "136", "138", "139", "150", "151", "152",
                                     "157", "158", "159", "177", "180", "181", "187", "189"};

} // namespace

QString DemoRandom::digits(int n)
{
    QString s;
    s.reserve(n);
    for (int i = 0; i < n; ++i)
        s += QChar(u'0' + below(10));
    return s;
}

QString personName(DemoRandom &r)
{
    QString name = r.pick(kSurnames) + r.pick(kGivenChars);
    if (r.chance(70)) name += r.pick(kGivenChars);
    return name;
}

QString organisationName(DemoRandom &r, const QString &nature)
{
    if (nature == QStringLiteral("行政")) return kDemoDistrictName + r.pick(kOffices);
    if (nature == QStringLiteral("事业")) return QStringLiteral("南京市玄武区") + r.pick(kSchools);
    if (nature == QStringLiteral("国有"))
        return QStringLiteral("南京%1%2集团有限公司")
            .arg(r.pick(kCompanyPlaces), r.pick(kCompanyTrades));
    if (nature == QStringLiteral("集体"))
        return QStringLiteral("南京市玄武区%1街道%2经济合作社")
            .arg(r.pick(kCompanyPlaces), r.pick(kCompanyPlaces));
    if (nature == QStringLiteral("个体"))
        return QStringLiteral("玄武区%1%2经营部")
            .arg(r.pick(kCompanyPlaces), r.pick(kCompanyTrades));
    if (nature == QStringLiteral("股份制"))
        return QStringLiteral("江苏%1%2股份有限公司")
            .arg(r.pick(kCompanyPlaces), r.pick(kCompanyTrades));
    if (nature == QStringLiteral("外商投资") || nature == QStringLiteral("港澳台"))
        return QStringLiteral("南京%1%2有限公司")
            .arg(r.pick(kCompanyPlaces), r.pick(kCompanyTrades));
    return QStringLiteral("南京%1%2有限公司").arg(r.pick(kCompanyPlaces), r.pick(kCompanyTrades));
}

QString superiorAuthority(DemoRandom &r, const QString &nature)
{
    if (nature == QStringLiteral("行政")) return QStringLiteral("南京市玄武区人民政府");
    if (nature == QStringLiteral("事业"))
        return r.chance(50) ? QStringLiteral("南京市玄武区教育局")
                            : QStringLiteral("南京市玄武区卫生健康委员会");
    if (nature == QStringLiteral("国有"))
        return QStringLiteral("南京市人民政府国有资产监督管理委员会");
    if (nature == QStringLiteral("集体")) return QStringLiteral("南京市玄武区农业农村局");
    return QStringLiteral("无");
}

QString streetName(DemoRandom &r)
{
    return r.pick(kStreets);
}

QString streetAddress(DemoRandom &r)
{
    return r.pick(kStreets) + QString::number(r.between(1, 399)) + QStringLiteral("号");
}

QString postcode(DemoRandom &r)
{
    return r.pick(kPostcodes);
}

QString mobilePhone(DemoRandom &r)
{
    return r.pick(kMobilePrefixes) + r.digits(8);
}

QString landlinePhone(DemoRandom &r)
{
    return QStringLiteral("025-8") + QString::number(r.between(3, 8)) + r.digits(6);
}

QChar identityCheckCharacter(const QString &first17)
{
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    int sum = 0;
    for (int i = 0; i < 17; ++i)
        sum += (first17[i].unicode() - u'0') * weights[i];
    return QLatin1Char(checks[sum % 11]);
}

QString identityCardNumber(DemoRandom &r, const QDate &birth)
{
    const QString first17 =
        kDemoDistrictCode + birth.toString(QStringLiteral("yyyyMMdd")) + r.digits(3);
    return first17 + identityCheckCharacter(first17);
}

bool isValidIdentityCardNumber(const QString &number)
{
    if (number.size() != 18) return false;
    for (int i = 0; i < 17; ++i)
        if (number[i] < QLatin1Char('0') || number[i] > QLatin1Char('9')) return false;
    return number[17] == identityCheckCharacter(number.left(17));
}

QString roadName(DemoRandom &r)
{
    return r.pick(kStreets);
}

} // namespace zarn::demo
