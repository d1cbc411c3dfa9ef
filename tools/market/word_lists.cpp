#include "market/word_lists.h"

namespace quel::market {
namespace {

// Family 0 is the three-page family; no other family title holds both of its words.
constexpr Family kFamilies[] = {
    { "诺基亚", "5200", "音乐手机", 980 },
    { "诺基亚", "N73", "智能手机", 1650 },
    { "摩托罗拉", "V3i", "翻盖手机", 760 },
    { "三星", "E258", "滑盖手机", 820 },
    { "索尼爱立信", "W550c", "音乐手机", 1120 },
    { "苹果", "iPod nano 4G", "MP4播放器", 1180 },
    { "爱国者", "月光宝盒 E800", "MP3", 299 },
    { "金士顿", "2G SD卡", "存储卡", 45 },
    { "闪迪", "4G U盘", "优盘", 89 },
    { "罗技", "G1 光电鼠标", "游戏鼠标", 119 },
    { "飞利浦", "HQ6070", "电动剃须刀", 239 },
    { "九阳", "DJ13B-D08D", "豆浆机", 329 },
    { "美的", "SK2105", "电磁炉", 269 },
    { "佳能", "IXUS 80", "数码相机", 1890 },
    { "尼康", "D60 套机", "单反相机", 3999 },
    { "李宁", "跑步鞋", "运动鞋", 259 },
    { "耐克", "Air Max 90", "气垫跑鞋", 699 },
    { "欧莱雅", "男士洁面乳", "洗面奶", 59 },
    { "兰蔻", "小黑瓶 30ml", "精华肌底液", 620 },
    { "ZIPPO", "经典黑裂漆", "打火机", 158 },
    { "Levi's", "501", "直筒牛仔裤", 499 },
    { "七匹狼", "商务", "男士皮带", 139 },
    { "TP-LINK", "TL-WR340G", "无线路由器", 129 },
    { "雅诗兰黛", "特润修护", "眼霜", 455 },
};

constexpr const char* kBeijing[] = { "北京" };
constexpr const char* kTianjin[] = { "天津" };
constexpr const char* kShanghai[] = { "上海" };
constexpr const char* kChongqing[] = { "重庆" };
constexpr const char* kNeimenggu[] = { "呼和浩特", "包头" };
constexpr const char* kXinjiang[] = { "乌鲁木齐", "克拉玛依" };
constexpr const char* kXizang[] = { "拉萨" };
constexpr const char* kNingxia[] = { "银川" };
constexpr const char* kGuangxi[] = { "南宁", "桂林", "柳州" };
constexpr const char* kXianggang[] = { "香港" };
constexpr const char* kAomen[] = { "澳门" };
constexpr const char* kHeilongjiang[] = { "哈尔滨", "大庆" };
constexpr const char* kJilin[] = { "长春", "吉林" };
constexpr const char* kLiaoning[] = { "沈阳", "大连" };
constexpr const char* kHebei[] = { "石家庄", "保定", "唐山" };
constexpr const char* kShanxi[] = { "太原", "大同" };
constexpr const char* kQinghai[] = { "西宁" };
constexpr const char* kShandong[] = { "济南", "青岛", "烟台" };
constexpr const char* kHenan[] = { "郑州", "洛阳" };
constexpr const char* kJiangsu[] = { "南京", "苏州", "无锡", "常州" };
constexpr const char* kAnhui[] = { "合肥", "芜湖" };
constexpr const char* kZhejiang[] = { "杭州", "宁波", "温州", "义乌" };
constexpr const char* kFujian[] = { "福州", "厦门", "泉州" };
constexpr const char* kJiangxi[] = { "南昌", "赣州" };
constexpr const char* kHunan[] = { "长沙", "株洲" };
constexpr const char* kHubei[] = { "武汉", "宜昌" };
constexpr const char* kGuangdong[] = { "广州", "深圳", "东莞", "佛山" };
constexpr const char* kTaiwan[] = { "台北" };
constexpr const char* kHainan[] = { "海口", "三亚" };
constexpr const char* kGansu[] = { "兰州" };
constexpr const char* kShaanxi[] = { "西安", "宝鸡" };
constexpr const char* kSichuan[] = { "成都", "绵阳" };
constexpr const char* kGuizhou[] = { "贵阳" };
constexpr const char* kYunnan[] = { "昆明", "大理" };
constexpr const char* kOther[] = { "" };
constexpr const char* kUnknown[] = { "" };
constexpr const char* kAbroad[] = { "美国", "日本", "新加坡", "加拿大" };

// The 34 province-level divisions, then other, unknown and overseas, in the order the
// profile reader searches them.
const Province kProvinces[] = {
    { "北京", kBeijing, 60 },
    { "天津", kTianjin, 20 },
    { "上海", kShanghai, 70 },
    { "重庆", kChongqing, 20 },
    { "内蒙古", kNeimenggu, 8 },
    { "新疆", kXinjiang, 6 },
    { "西藏", kXizang, 1 },
    { "宁夏", kNingxia, 3 },
    { "广西", kGuangxi, 15 },
    { "香港", kXianggang, 4 },
    { "澳门", kAomen, 1 },
    { "黑龙江", kHeilongjiang, 12 },
    { "吉林", kJilin, 8 },
    { "辽宁", kLiaoning, 22 },
    { "河北", kHebei, 22 },
    { "山西", kShanxi, 10 },
    { "青海", kQinghai, 2 },
    { "山东", kShandong, 35 },
    { "河南", kHenan, 25 },
    { "江苏", kJiangsu, 65 },
    { "安徽", kAnhui, 18 },
    { "浙江", kZhejiang, 80 },
    { "福建", kFujian, 30 },
    { "江西", kJiangxi, 12 },
    { "湖南", kHunan, 18 },
    { "湖北", kHubei, 22 },
    { "广东", kGuangdong, 90 },
    { "台湾", kTaiwan, 2 },
    { "海南", kHainan, 4 },
    { "甘肃", kGansu, 5 },
    { "陕西", kShaanxi, 14 },
    { "四川", kSichuan, 26 },
    { "贵州", kGuizhou, 6 },
    { "云南", kYunnan, 9 },
    { "其他", kOther, 2 },
    { "未知", kUnknown, 2 },
    { "海外", kAbroad, 3 },
};

constexpr const char* kGenuineTags[]
    = { "【正品行货】", "100%正品", "专柜正品", "正品保证", "原装正品" };
constexpr const char* kTitleSuffixes[]
    = { "全国联保", "包邮", "特价促销", "送礼品", "现货", "皇冠信誉", "假一赔十", "新款" };
constexpr const char* kShopHeads[] = { "数码", "潮流", "小鱼儿的", "阿里", "品牌", "淘淘", "星星",
    "金牌", "诚信", "快乐", "阳光", "蓝色" };
constexpr const char* kShopTails[]
    = { "数码城", "精品店", "专卖店", "小铺", "数码港", "百货", "e站", "商城" };
constexpr const char* kNickHeads[] = { "小猫", "阳光", "快乐", "蓝天", "冰雪", "月亮", "天使",
    "老王", "阿杰", "飞鱼", "木头", "糖果", "小雨", "大熊", "西瓜", "海豚" };
constexpr const char* kNickTails[]
    = { "爱购物", "的小屋", "宝宝", "妈妈", "同学", "", "小姐", "先生", "哥哥", "妹妹" };
constexpr const char* kLatinNicks[] = { "tb_jack", "lucy", "kevin", "angel", "sunny", "mike",
    "coco", "leo", "zhang", "wang", "chen", "lily" };
constexpr const char* kItemTypes[]
    = { "全新", "全新", "全新", "全新", "全新", "全新", "全新", "全新", "全新", "二手" };

} // namespace

std::span<const Family> families()
{
    return kFamilies;
}
const Family& threePageFamily()
{
    return kFamilies[0];
}
std::span<const Province> provinces()
{
    return kProvinces;
}
std::span<const char* const> genuineTags()
{
    return kGenuineTags;
}
std::span<const char* const> titleSuffixes()
{
    return kTitleSuffixes;
}
std::span<const char* const> shopNameHeads()
{
    return kShopHeads;
}
std::span<const char* const> shopNameTails()
{
    return kShopTails;
}
std::span<const char* const> nickHeads()
{
    return kNickHeads;
}
std::span<const char* const> nickTails()
{
    return kNickTails;
}
std::span<const char* const> latinNicks()
{
    return kLatinNicks;
}
std::span<const char* const> itemTypes()
{
    return kItemTypes;
}

} // namespace quel::market
