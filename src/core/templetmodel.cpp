#include "core/templetmodel.h"

#include <utility>

namespace sorvane {
namespace {

std::string Cut(std::string text) {
  if (text.size() > kTagLimit) text.resize(kTagLimit);
  return text;
}

void ReadHead(Query& q, TempletModel& model) {
  q.Open("select tmn,typ,tag,taid from tmps where tmid=" + std::to_string(model.id));
  if (q.Eof()) return;
  model.name = q.AsString(0);
  model.is_url = q.AsInteger(1) == 1;
  model.is_text_tag = q.AsInteger(2) == 1;
  model.tab_id = q.AsInt(3);
}

void ReadExpression(Query& q, TempletModel& model) {
  q.Open("select expr from exps where tmid=" + std::to_string(model.id));
  model.has_expression = !q.Eof();
  model.expression = model.has_expression ? q.AsString(0) : std::string();
}

void ReadColumns(Query& q, TempletModel& model) {
  model.columns.clear();
  q.Open(
      "select cid,tit,begw,endw,width,a.fid,tag,istr,fti from cols a left join flds b on "
      "a.fid=b.fid where tmid=" +
      std::to_string(model.id) + " order by nox");
  for (; !q.Eof(); q.Next()) {
    TempletColumn column;
    column.cid = q.AsInt(0);
    column.title = q.AsString(1);
    column.open_tag = q.AsString(2);
    column.close_tag = q.AsString(3);
    column.width = q.AsInt(4);
    column.fid = q.AsInt(5);
    column.kind = q.AsInt(6);
    column.has_rules = q.AsInt(7) == 1;
    column.field_title = q.AsString(8);
    model.columns.push_back(std::move(column));
  }
}

void ReadRules(Query& q, TempletModel& model) {
  model.rules.clear();
  q.Open(
      "select cid,rel,srv,dtv from vtrs where cid in (select distinct cid from cols where tmid=" +
      std::to_string(model.id) + ")");
  for (; !q.Eof(); q.Next()) {
    model.rules.push_back({q.AsInt(0), q.AsInt(1), q.AsString(2), q.AsString(3)});
  }
}

}  // namespace

TTemplet TempletModel::Record() const {
  TTemplet templet;
  templet.ID = id;
  templet.TabID = tab_id;
  templet.IsURL = is_url;
  templet.IsTextTag = is_text_tag;
  return templet;
}

std::vector<const TempletColumn*> TempletModel::ShownColumns() const {
  std::vector<const TempletColumn*> shown;
  for (const TempletColumn& column : columns) {
    if (column.kind == kColNormal || column.kind == kColFieldValue || column.kind == kColImage) {
      shown.push_back(&column);
    }
  }
  return shown;
}

std::vector<TCol> TempletModel::RunColumns() const {
  std::vector<TCol> cols;
  for (const TempletColumn* column : ShownColumns()) {
    TCol col;
    col.ColID = column->cid;
    col.OpenTag = Cut(column->open_tag);
    col.CloseTag = Cut(column->close_tag);
    col.Kind = column->kind;
    col.IsTrans = column->has_rules;
    cols.push_back(std::move(col));
  }
  return cols;
}

const TempletColumn* TempletModel::RecordTags() const {
  for (const TempletColumn& column : columns) {
    if (column.kind == kColStartRecordTag) return &column;
  }
  return nullptr;
}

std::vector<TTrans> TempletModel::RunRules() const {
  std::vector<TTrans> cut;
  cut.reserve(rules.size());
  for (const TTrans& rule : rules)
    cut.push_back({rule.ColID, rule.Rel, Cut(rule.SrcVal), Cut(rule.DstVal)});
  return cut;
}

TempletModel ReadTemplet(Tdm& store, int id, TempletParts parts) {
  TempletModel model;
  model.id = id;
  Query& q = store.qryM;
  if (Has(parts, TempletParts::kHead)) ReadHead(q, model);
  if (Has(parts, TempletParts::kSources)) model.sources = ReadSources(store, id);
  if (Has(parts, TempletParts::kExpression)) ReadExpression(q, model);
  if (Has(parts, TempletParts::kColumns)) ReadColumns(q, model);
  if (Has(parts, TempletParts::kRules)) ReadRules(q, model);
  if (Has(parts, TempletParts::kLogin)) model.login = ReadLoginRows(store, id);
  return model;
}

std::vector<std::string> ReadSources(Tdm& store, int id) {
  std::vector<std::string> sources;
  Query& q = store.qryM;
  for (q.Open("select url from urls where tmid=" + std::to_string(id)); !q.Eof(); q.Next())
    sources.push_back(q.AsString(0));
  return sources;
}

std::vector<LoginRow> ReadLoginRows(Tdm& store, int id) {
  std::vector<LoginRow> rows;
  Query& q = store.qryM;
  for (q.Open("select nam,val,tag from nvps where tmid=" + std::to_string(id) + " order by tag");
       !q.Eof(); q.Next()) {
    rows.push_back({q.AsString(0), q.AsString(1), q.AsInt(2)});
  }
  return rows;
}

std::vector<LoginRow> ReadLoginRowsAsStored(Tdm& store, int id) {
  std::vector<LoginRow> rows;
  Query& q = store.qryM;
  for (q.Open("select nam,val,tag from nvps where tmid=" + std::to_string(id)); !q.Eof();
       q.Next()) {
    rows.push_back({q.AsString(0), q.AsString(1), q.AsInt(2)});
  }
  return rows;
}

std::vector<std::string> SaveLoginStatements(int id, const std::vector<LoginRow>& rows) {
  const std::string tmid = std::to_string(id);
  std::vector<std::string> sql;
  sql.push_back("delete from nvps where tmid=" + tmid);
  for (const LoginRow& row : rows) {
    if (row.tag == 2) {
      sql.push_back("insert into nvps(tmid,val,tag) values(" + tmid + "," + QuotedStr(row.val) +
                    ",2)");
    } else {
      sql.push_back("insert into nvps(tmid,nam,val,tag) values(" + tmid + "," + QuotedStr(row.nam) +
                    "," + QuotedStr(row.val) + "," + std::to_string(row.tag) + ")");
    }
  }
  return sql;
}

void SaveLoginRows(Tdm& store, int id, const std::vector<LoginRow>& rows) {
  for (const std::string& sql : SaveLoginStatements(id, rows))
    store.qryM.Execute(sql);
}

void DeleteLoginRows(Tdm& store, int id) {
  store.qryM.Execute(SaveLoginStatements(id, {}).front());
}

std::string InsertTempletStatement(const TempletModel& model) {
  return "insert into tmps(tmn,typ,tag,taid) values(" + QuotedStr(model.name) + "," +
         (model.is_url ? "1" : "0") + "," + (model.is_text_tag ? "1" : "0") + "," +
         std::to_string(model.tab_id) + ")";
}

std::vector<std::string> SaveTempletStatements(const TempletModel& model) {
  const std::string id = std::to_string(model.id);
  std::vector<std::string> sql;
  sql.push_back("update tmps set tmn=" + QuotedStr(model.name) +
                ",typ=" + (model.is_url ? "1" : "0") + ",tag=" + (model.is_text_tag ? "1" : "0") +
                ",taid=" + std::to_string(model.tab_id) + " where tmid=" + id);
  sql.push_back("delete from urls where tmid=" + id);
  for (const std::string& source : model.sources)
    sql.push_back("insert into urls(tmid,url) values(" + id + "," + QuotedStr(source) + ")");
  if (!model.is_text_tag) {
    sql.push_back("delete from exps where tmid=" + id);
    sql.push_back("insert into exps(tmid,expr) values(" + id + "," + QuotedStr(model.expression) +
                  ")");
  }
  for (std::size_t nox = 0; nox < model.columns.size(); ++nox) {
    const TempletColumn& c = model.columns[nox];
    if (c.cid == 0) {
      sql.push_back("insert into cols(tmid,tit,begw,endw,fid,nox,tag) values(" + id + "," +
                    QuotedStr(c.title) + "," + QuotedStr(c.open_tag) + "," +
                    QuotedStr(c.close_tag) + "," + std::to_string(c.fid) + "," +
                    std::to_string(nox) + "," + std::to_string(c.kind) + ")");
    } else {
      sql.push_back("update cols set tit=" + QuotedStr(c.title) + ",begw=" + QuotedStr(c.open_tag) +
                    ",endw=" + QuotedStr(c.close_tag) + ",fid=" + std::to_string(c.fid) +
                    ",nox=" + std::to_string(nox) + ",tag=" + std::to_string(c.kind) +
                    " where cid=" + std::to_string(c.cid));
    }
  }
  return sql;
}

void SaveTemplet(Tdm& store, TempletModel& model) {
  Query& q = store.qryM;
  std::size_t first = 0;
  if (model.id == 0) {
    q.Execute(InsertTempletStatement(model));
    model.id = static_cast<int>(q.LastIdentity());
    first = 1;  // the insert wrote the head
  }
  const std::vector<std::string> sql = SaveTempletStatements(model);
  // The column statements come last, one per column in list order.
  const std::size_t first_column = sql.size() - model.columns.size();
  for (std::size_t i = first; i < sql.size(); ++i) {
    q.Execute(sql[i]);
    // A column inserted keeps its new id, so that a save repeated after a later failure
    // updates it instead of adding it a second time.
    if (i >= first_column) {
      TempletColumn& column = model.columns[i - first_column];
      if (column.cid == 0) column.cid = static_cast<int>(q.LastIdentity());
    }
  }
}

}  // namespace sorvane
