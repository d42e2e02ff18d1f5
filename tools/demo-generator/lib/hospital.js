'use strict';

// The demo station: the public price list of medicines and medical services of a city
// hospital. Everything comes from the fixed lists below and one seeded random source.

const { createRandom } = require('./random');
const { serial1900 } = require('./excelDate');

const COMPANY_NAME = '晴川市第一人民医院';
const REPORT_TITLE = '药品及医疗服务价格公示';

// The field catalogue: chna, engl, withe, nub, nober, sort. The engl codes follow the
// types of the inquiry table: d1..d15 texts, d16..d20 dates, d26..d50 amounts, d51 picture.
// The widths add up to just under 1024 pixels, so a page fits the smallest kiosk screen.
const CATALOGUE_FIELDS = [
  ['类别', 'd1', 60, 1, 1, 1],
  ['剂型', 'd2', 70, 2, 2, 2],
  ['名称', 'd3', 170, 3, 3, 3],
  ['规格', 'd4', 130, 4, 4, null],
  ['单位', 'd5', 45, 5, 5, null],
  ['厂家或科室', 'd6', 190, 6, 6, null],
  ['医保类别', 'd7', 65, 7, 7, null],
  ['项目编码', 'd8', 75, 8, 8, null],
  ['执行日期', 'd16', 90, 16, 9, null],
  ['单价（元）', 'd26', 75, 26, 10, null],
  ['图片', 'd51', 45, 51, 11, null],
];
const CATALOGUE_CAPTIONS = [
  [COMPANY_NAME, 'company', 0, 0, 100, null],
  [REPORT_TITLE, 'title', 0, 0, 101, null],
];
const CATALOGUE_HEADING = ['chna', 'engl', 'withe', 'nub', 'nober', 'sort'];

const RECORD_HEADING = ['类别', '剂型', '名称', '规格', '单位', '厂家或科室', '医保类别', '项目编码', '执行日期', '单价'];

const DRUG_MAKERS = [
  '华北制药股份有限公司', '石药集团欧意药业有限公司', '齐鲁制药有限公司', '扬子江药业集团有限公司',
  '上海信谊药厂有限公司', '哈药集团制药总厂', '江苏恒瑞医药股份有限公司', '浙江海正药业股份有限公司',
  '四川科伦药业股份有限公司', '石家庄四药有限公司', '辰欣药业股份有限公司', '广州白云山制药股份有限公司',
];
const PATENT_MAKERS = [
  '北京同仁堂科技发展股份有限公司', '云南白药集团股份有限公司', '天士力医药集团股份有限公司',
  '华润三九医药股份有限公司', '石家庄以岭药业股份有限公司', '修正药业集团股份有限公司',
  '广州白云山中一药业有限公司', '太极集团重庆涪陵制药厂有限公司',
];
const HERB_MAKERS = ['安徽亳州中药饮片厂', '四川新荷花中药饮片股份有限公司', '康美药业股份有限公司', '北京仟草中药饮片有限公司'];

// [name, form, [spec, unit, base price]...]
const WESTERN = [
  ['阿莫西林胶囊', '胶囊剂', [['0.25g×24粒', '盒', 9.8], ['0.5g×24粒', '盒', 16.5]]],
  ['头孢克肟分散片', '片剂', [['0.1g×6片', '盒', 18.6], ['50mg×12片', '盒', 21.3]]],
  ['布洛芬缓释胶囊', '胶囊剂', [['0.3g×20粒', '盒', 15.2]]],
  ['苯磺酸氨氯地平片', '片剂', [['5mg×7片', '盒', 12.4], ['5mg×28片', '盒', 39.9]]],
  ['盐酸二甲双胍片', '片剂', [['0.5g×48片', '盒', 8.9], ['0.25g×100片', '瓶', 7.6]]],
  ['阿托伐他汀钙片', '片剂', [['20mg×7片', '盒', 26.8], ['10mg×14片', '盒', 29.5]]],
  ['奥美拉唑肠溶胶囊', '胶囊剂', [['20mg×14粒', '盒', 13.7]]],
  ['阿司匹林肠溶片', '片剂', [['100mg×30片', '盒', 14.9]]],
  ['硝苯地平控释片', '片剂', [['30mg×7片', '盒', 31.2]]],
  ['甲硝唑片', '片剂', [['0.2g×21片', '盒', 3.6]]],
  ['氯雷他定片', '片剂', [['10mg×6片', '盒', 18.2]]],
  ['维生素C片', '片剂', [['0.1g×100片', '瓶', 4.5]]],
  ['蒙脱石散', '散剂', [['3g×10袋', '盒', 17.4]]],
  ['小儿氨酚黄那敏颗粒', '颗粒剂', [['6g×12袋', '盒', 12.8]]],
  ['头孢呋辛酯片', '片剂', [['0.25g×12片', '盒', 24.6]]],
  ['盐酸氨溴索口服溶液', '口服溶液剂', [['100ml:0.6g', '瓶', 19.8]]],
  ['复方甘草口服溶液', '口服溶液剂', [['100ml', '瓶', 6.5]]],
  ['红霉素软膏', '软膏剂', [['1%×10g', '支', 3.2]]],
  ['莫匹罗星软膏', '软膏剂', [['2%×5g', '支', 16.9]]],
  ['0.9%氯化钠注射液', '注射剂', [['250ml:2.25g', '瓶', 4.6], ['100ml:0.9g', '瓶', 3.8]]],
  ['5%葡萄糖注射液', '注射剂', [['500ml:25g', '瓶', 5.2], ['250ml:12.5g', '瓶', 4.3]]],
  ['注射用头孢曲松钠', '注射剂', [['1.0g', '支', 12.6], ['2.0g', '支', 21.8]]],
  ['左氧氟沙星氯化钠注射液', '注射剂', [['100ml:0.5g', '瓶', 27.4]]],
  ['胰岛素注射液', '注射剂', [['10ml:400单位', '支', 56.8]]],
  ['注射用奥美拉唑钠', '注射剂', [['40mg', '支', 18.5]]],
  ['厄贝沙坦片', '片剂', [['0.15g×7片', '盒', 19.6], ['75mg×12片', '盒', 16.8]]],
  ['缬沙坦胶囊', '胶囊剂', [['80mg×7粒', '盒', 23.4]]],
  ['格列美脲片', '片剂', [['2mg×15片', '盒', 22.1]]],
  ['瑞舒伐他汀钙片', '片剂', [['10mg×7片', '盒', 27.9]]],
  ['氯吡格雷片', '片剂', [['75mg×7片', '盒', 45.6]]],
  ['孟鲁司特钠片', '片剂', [['10mg×5片', '盒', 32.5]]],
  ['阿奇霉素颗粒', '颗粒剂', [['0.1g×6袋', '盒', 15.8]]],
  ['双氯芬酸钠缓释片', '片剂', [['75mg×10片', '盒', 11.2]]],
  ['碳酸钙D3片', '片剂', [['0.6g×60片', '瓶', 29.8]]],
  ['复方氨基酸注射液', '注射剂', [['250ml:12.5g', '瓶', 36.5]]],
];
const PATENT = [
  ['连花清瘟胶囊', '胶囊剂', [['0.35g×24粒', '盒', 14.8], ['0.35g×36粒', '盒', 21.5]]],
  ['板蓝根颗粒', '颗粒剂', [['10g×20袋', '包', 11.5]]],
  ['感冒灵颗粒', '颗粒剂', [['10g×9袋', '盒', 13.9]]],
  ['六味地黄丸', '丸剂', [['200丸', '瓶', 19.6], ['浓缩丸 120丸', '瓶', 22.4]]],
  ['复方丹参滴丸', '丸剂', [['27mg×180丸', '瓶', 28.9]]],
  ['速效救心丸', '丸剂', [['40mg×60粒', '盒', 24.7]]],
  ['安宫牛黄丸', '丸剂', [['3g×1丸', '盒', 680.0]]],
  ['双黄连口服液', '口服液', [['10ml×10支', '盒', 22.6]]],
  ['藿香正气口服液', '口服液', [['10ml×10支', '盒', 16.3]]],
  ['牛黄解毒片', '片剂', [['24片', '盒', 6.8]]],
  ['银黄含化片', '片剂', [['0.65g×24片', '盒', 9.9]]],
  ['云南白药气雾剂', '气雾剂', [['85g+30g', '盒', 49.8]]],
  ['通心络胶囊', '胶囊剂', [['0.26g×30粒', '盒', 33.8]]],
  ['血塞通软胶囊', '胶囊剂', [['0.33g×24粒', '盒', 38.5]]],
  ['舒肝解郁胶囊', '胶囊剂', [['0.36g×28粒', '盒', 42.0]]],
  ['小柴胡颗粒', '颗粒剂', [['10g×10袋', '盒', 15.6]]],
  ['气滞胃痛颗粒', '颗粒剂', [['5g×9袋', '盒', 24.3]]],
  ['清开灵注射液', '注射剂', [['10ml', '支', 6.8]]],
];
const HERBS = [
  ['黄芪', '切片'], ['当归', '切片'], ['党参', '段'], ['枸杞子', '统货'], ['金银花', '统货'],
  ['甘草', '切片'], ['白术', '切片'], ['茯苓', '块'], ['川芎', '切片'], ['陈皮', '丝'],
  ['菊花', '统货'], ['丹参', '段'], ['麦冬', '统货'], ['山药', '切片'], ['黄连', '切片'],
  ['三七粉', '细粉'], ['薄荷', '段'], ['柴胡', '段'], ['白芍', '切片'], ['熟地黄', '切片'],
];
// [category, form, department, [name, spec, unit, price]...]
const SERVICES = [
  ['检查', '影像', '放射科', [
    ['X线胸部正位摄影', '数字化摄影', '次', 70], ['颅脑CT平扫', '64排螺旋CT', '次', 180],
    ['胸部CT平扫', '64排螺旋CT', '次', 200], ['腰椎磁共振平扫', '1.5T', '部位', 480],
    ['颅脑磁共振平扫', '3.0T', '部位', 560], ['骨密度测定', '双能X线', '次', 90]]],
  ['检查', '超声', '超声科', [
    ['腹部彩色多普勒超声', '肝胆胰脾', '次', 160], ['心脏彩色多普勒超声', '常规', '次', 220],
    ['甲状腺彩色多普勒超声', '常规', '次', 110], ['颈部血管彩色多普勒超声', '常规', '次', 150]]],
  ['检查', '心电及内镜', '功能检查科', [
    ['常规心电图检查', '十二导联', '次', 25], ['动态心电图', '24小时', '次', 180],
    ['电子胃镜检查', '普通', '次', 260], ['无痛电子胃镜检查', '含麻醉监护', '次', 680],
    ['电子结肠镜检查', '普通', '次', 320]]],
  ['化验', '血液', '检验科', [
    ['血常规', '五分类', '项', 20], ['凝血四项', '', '组', 96], ['血型鉴定', 'ABO及Rh', '项', 30],
    ['糖化血红蛋白测定', '', '项', 60]]],
  ['化验', '生化', '检验科', [
    ['肝功能', '十一项', '组', 88], ['肾功能', '三项', '组', 30], ['血脂四项', '', '组', 42],
    ['空腹血糖测定', '', '项', 6], ['电解质测定', '钾钠氯', '组', 18]]],
  ['化验', '免疫', '检验科', [
    ['乙肝两对半', '定量', '组', 150], ['甲状腺功能五项', '', '组', 175], ['肿瘤标志物', 'AFP+CEA', '组', 120]]],
  ['化验', '体液', '检验科', [['尿常规', '干化学+沉渣', '项', 15], ['粪便常规', '含隐血', '项', 12]]],
  ['治疗', '注射', '门诊治疗室', [
    ['静脉输液', '第一组', '组', 12], ['静脉输液', '连续输液第二组起', '组', 3], ['肌肉注射', '', '次', 3],
    ['皮下注射', '', '次', 3], ['静脉采血', '', '次', 4]]],
  ['治疗', '理疗', '康复医学科', [
    ['中频电疗', '', '次', 22], ['红外线治疗', '', '次', 12], ['颈椎牵引', '', '次', 20], ['运动疗法', '45分钟', '次', 60]]],
  ['治疗', '中医', '中医科', [
    ['普通针刺', '', '次', 18], ['艾灸', '', '壮', 6], ['推拿治疗', '', '部位', 30], ['拔罐', '', '罐', 5]]],
  ['治疗', '换药及雾化', '门诊治疗室', [
    ['大换药', '', '次', 45], ['中换药', '', '次', 25], ['小换药', '', '次', 15], ['雾化吸入', '超声雾化', '次', 10]]],
  ['手术', '普通外科', '手术室', [
    ['阑尾切除术', '', '次', 1200], ['腹腔镜胆囊切除术', '', '次', 2300], ['腹股沟疝修补术', '', '次', 1350],
    ['体表肿物切除术', '小于3cm', '次', 220]]],
  ['手术', '眼科', '眼科', [['白内障超声乳化摘除术', '单眼', '次', 1800], ['翼状胬肉切除术', '单眼', '次', 600]]],
  ['手术', '妇产科', '妇产科', [['剖宫产术', '', '次', 1560], ['正常分娩接生', '', '次', 880]]],
  ['护理', '护理', '护理部', [
    ['特级护理', '', '日', 110], ['一级护理', '', '日', 36], ['二级护理', '', '日', 20], ['三级护理', '', '日', 12]]],
  ['护理', '床位', '住院部', [
    ['普通病房床位费', '三人间', '床日', 40], ['普通病房床位费', '双人间', '床日', 60],
    ['单人病房床位费', '带卫生间', '床日', 150], ['重症监护床位费', 'ICU', '床日', 200]]],
];
const INSURANCE = ['甲类', '乙类', '丙类'];
const EFFECTIVE_DATES = [
  [2023, 1, 1], [2023, 4, 1], [2023, 7, 1], [2023, 10, 1], [2024, 1, 1], [2024, 3, 15], [2024, 6, 1],
];
const CATEGORY_CODES = { 西药: '01', 中成药: '02', 中草药: '03', 检查: '04', 化验: '05', 治疗: '06', 手术: '07', 护理: '08' };

function roundPrice(value) {
  return Math.round(value * 100) / 100;
}

function dateCell(random) {
  const [year, month, day] = random.pick(EFFECTIVE_DATES);
  return { t: 'n', v: serial1900(year, month, day), z: 'yyyy-mm-dd' };
}

// Several hundred price-list rows, in the column order of RECORD_HEADING.
function buildRecords({ seed = 20240601, target = 0 } = {}) {
  const random = createRandom(seed);
  const rows = [];
  const sequence = {};
  const add = (category, form, name, spec, unit, maker, insurance, price) => {
    sequence[category] = (sequence[category] || 0) + 1;
    // Codes are texts with leading zeros, as the hospital's information system prints them.
    const code = CATEGORY_CODES[category] + String(sequence[category]).padStart(5, '0');
    rows.push([category, form, name, spec || null, unit, maker, insurance, code, dateCell(random), roundPrice(price)]);
  };
  const medicines = (category, list, makers) => {
    for (const [name, form, specs] of list) {
      const insurance = random.pick(INSURANCE);
      for (const [spec, unit, basePrice] of specs) {
        const makerCount = random.integer(3, 6);
        const start = random.integer(0, makers.length - 1);
        for (let i = 0; i < makerCount; i += 1) {
          const factor = 0.85 + random.next() * 0.35;
          add(category, form, name, spec, unit, makers[(start + i) % makers.length], insurance, basePrice * factor);
        }
      }
    }
  };
  medicines('西药', WESTERN, DRUG_MAKERS);
  medicines('中成药', PATENT, PATENT_MAKERS);
  for (const [name, cut] of HERBS) {
    const basePrice = 0.8 + random.next() * 6;
    for (const [grade, gradeFactor] of [['', 1], ['精选', 1.6]]) {
      for (const maker of HERB_MAKERS) {
        if (random.next() < 0.25) continue;
        const spec = grade ? `${cut}（${grade}）` : cut;
        const price = basePrice * gradeFactor * (0.9 + random.next() * 0.2);
        add('中草药', '饮片', name, spec, '10克', maker, random.pick(['甲类', '乙类']), price);
      }
    }
  }
  for (const [category, form, department, items] of SERVICES) {
    for (const [name, spec, unit, price] of items) {
      add(category, form, name, spec, unit, department, random.pick(['甲类', '乙类']), price);
    }
  }
  // The benchmark asks for many more rows than the price list has: repeat it with other dates.
  const base = rows.length;
  for (let i = 0; rows.length < target; i += 1) {
    const copy = rows[i % base].slice();
    copy[8] = dateCell(random);
    rows.push(copy);
  }
  return [RECORD_HEADING, ...rows];
}

function buildCatalogueRows({ extraFieldRows = [] } = {}) {
  return [CATALOGUE_HEADING, ...CATALOGUE_FIELDS, ...extraFieldRows, [], ...CATALOGUE_CAPTIONS];
}

module.exports = { buildRecords, buildCatalogueRows, CATALOGUE_HEADING, CATALOGUE_FIELDS, CATALOGUE_CAPTIONS };
